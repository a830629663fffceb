// Stands in for tdxw.exe: leaves "<its own path>.ran" beside itself, holding the folder it runs in
// (UTF-16), and ends; started with an argument, it runs until it is ended.
#include <windows.h>

#include <string>

int main(int argc, char**) {
    if (argc > 1)
        Sleep(INFINITE);
    wchar_t self[MAX_PATH] = {}, folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    HANDLE ran = CreateFileW((std::wstring(self) + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(ran, folder, length * sizeof(wchar_t), &written, nullptr);
    CloseHandle(ran);
    return 0;
}
