// A stand-in for the host executable, copied by tests under the name they need (tdxw.exe in a
// sample installation, TdxW.exe or 通达信行情.exe to look like a running host).
//
// When run it writes "<its own file name>.ran" beside itself (e.g. tdxw.exe.ran), in UTF-8:
//   line 1: its own full path
//   line 2: its current directory
// The file appears complete at once (written under another name, then renamed).
// With the arguments "--wait <ms>" it then keeps running that long, at most 60000 ms, so tests
// can see it in the process list. It always ends by itself, with exit code 0.

#include "scoped.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

void WriteRanFile() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));

    const std::string content = Utf8(self) + "\n" + Utf8(current) + "\n";
    const std::wstring ran = self + L".ran";
    const std::wstring partial = ran + L".partial";
    {
        UniqueHandle file = AdoptHandle(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return;
        DWORD written = 0;
        WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                  nullptr);
    }
    MoveFileExW(partial.c_str(), ran.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The milliseconds after "--wait", capped at 60000; 0 without that argument.
DWORD WaitFromArguments(int argc, char* argv[]) {
    if (argc < 3 || std::string(argv[1]) != "--wait")
        return 0;
    return static_cast<DWORD>(std::clamp(std::atoi(argv[2]), 0, 60000));
}

} // namespace

int main(int argc, char* argv[]) {
    WriteRanFile();
    Sleep(WaitFromArguments(argc, argv));
    return 0;
}
