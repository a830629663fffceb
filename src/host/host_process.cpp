#include "host/host_process.h"

#include "scoped.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>

std::wstring ToLower(std::wstring text) {
    // A-Z only, whatever the C runtime's locale.
    for (wchar_t& unit : text)
        if (unit >= L'A' && unit <= L'Z')
            unit = static_cast<wchar_t>(unit - L'A' + L'a');
    return text;
}

bool IsNameMatching(std::wstring_view exeName, const std::vector<std::wstring>& fragments) {
    const std::wstring name = ToLower(std::wstring(exeName));
    return std::any_of(fragments.begin(), fragments.end(), [&](const std::wstring& fragment) {
        return name.find(ToLower(fragment)) != std::wstring::npos;
    });
}

bool IsProcessMatching(const std::vector<std::wstring>& fragments) {
    UniqueHandle snapshot = AdoptHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    // The tool itself is no host, whatever its file is named.
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL listed = Process32FirstW(snapshot.get(), &entry); listed;
         listed = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID != self && IsNameMatching(entry.szExeFile, fragments))
            return true;
    return false;
}
