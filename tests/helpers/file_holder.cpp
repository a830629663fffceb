// Holds a file open the way another program would lock it, so tests can meet a file that cannot
// be written or replaced.
//
// Arguments: <file> <event name>. It opens <file> for reading with FILE_SHARE_READ only, then
// sets the named event "<event name>-ready" and holds the file until "<event name>-stop" is set,
// at most 30 s. Exit codes: 0 stopped, 1 the file could not be opened, 2 bad arguments,
// 3 no stop signal within the time limit.

#include "scoped.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kHoldAtMostMs = 30000;

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> list(arguments, arguments + (arguments ? count : 0));
    LocalFree(arguments);
    return list;
}

} // namespace

int main() {
    const std::vector<std::wstring> arguments = Arguments();
    if (arguments.size() != 3)
        return 2;
    UniqueHandle file =
        AdoptHandle(CreateFileW(arguments[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, (arguments[2] + L"-ready").c_str()));
    UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, (arguments[2] + L"-stop").c_str()));
    SetEvent(ready.get());
    return WaitForSingleObject(stop.get(), kHoldAtMostMs) == WAIT_OBJECT_0 ? 0 : 3;
}
