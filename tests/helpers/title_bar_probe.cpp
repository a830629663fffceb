// Calls ApplyTitleBarTheme on a window of its own while watching every DLL the process loads,
// and tells by its exit code where dwmapi.dll came from:
//   0  from the system folder only
//   3  from anywhere else as well (e.g. a dwmapi.dll planted beside this program)
//   4  not loaded at all
//   5  the watch could not be set up

#include "ui/theme.h"

#include <windows.h>
#include <winternl.h>

#include <string>

namespace {

struct DllNotificationData {
    ULONG flags;
    const UNICODE_STRING* fullDllName;
    const UNICODE_STRING* baseDllName;
    void* dllBase;
    ULONG sizeOfImage;
};
using DllNotification = void(CALLBACK*)(ULONG reason, const DllNotificationData* data,
                                        void* context);
using RegisterDllNotification = NTSTATUS(NTAPI*)(ULONG flags, DllNotification notification,
                                                 void* context, void** cookie);
constexpr ULONG kDllLoaded = 1;

struct Seen {
    std::wstring systemDwmapi; // lower case
    int fromSystem = 0;
    int fromElsewhere = 0;
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

void CALLBACK OnDllNotification(ULONG reason, const DllNotificationData* data, void* context) {
    auto* seen = static_cast<Seen*>(context);
    if (reason != kDllLoaded)
        return;
    const std::wstring path =
        Lower(std::wstring(data->fullDllName->Buffer, data->fullDllName->Length / 2));
    const std::wstring base =
        Lower(std::wstring(data->baseDllName->Buffer, data->baseDllName->Length / 2));
    if (base != L"dwmapi.dll")
        return;
    if (path == seen->systemDwmapi)
        ++seen->fromSystem;
    else
        ++seen->fromElsewhere;
}

} // namespace

int main() {
    Seen seen;
    wchar_t system[MAX_PATH];
    seen.systemDwmapi =
        Lower(std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\dwmapi.dll");
    auto registerNotification =
        reinterpret_cast<RegisterDllNotification>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrRegisterDllNotification")));
    void* cookie = nullptr;
    if (!registerNotification || registerNotification(0, OnDllNotification, &seen, &cookie) != 0)
        return 5;
    HWND window = CreateWindowExW(0, L"STATIC", L"title bar probe", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    ApplyTitleBarTheme(window);
    DestroyWindow(window);
    if (seen.fromElsewhere > 0)
        return 3;
    return seen.fromSystem > 0 ? 0 : 4;
}
