// Stands in for tdxw.exe: leaves "<its own path>.ran" beside itself and ends; started with an
// argument, it runs until it is ended.
#include <windows.h>

#include <string>

int main(int argc, char**) {
    if (argc > 1)
        Sleep(INFINITE);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    CloseHandle(CreateFileW((std::wstring(self) + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return 0;
}
