// Stands in for tdxw.exe: leaves "<its own path>.ran" beside itself, holding the folder it runs in
// (UTF-8), and ends; started with an argument, it runs until it is ended.
#include <windows.h>

#include <string>

int main(int argc, char**) {
    if (argc > 1)
        Sleep(INFINITE);
    wchar_t self[MAX_PATH] = {}, folder[MAX_PATH] = {};
    char utf8[3 * MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, folder, -1, utf8, sizeof utf8, nullptr, nullptr);
    HANDLE ran = CreateFileW((std::wstring(self) + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(ran, utf8, size > 0 ? DWORD(size - 1) : 0, &written, nullptr);
    CloseHandle(ran);
    return 0;
}
