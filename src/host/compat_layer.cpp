#include "host/compat_layer.h"

#include "host/install_paths.h"
#include "scoped.h"

#include <windows.h>

void UpdateRegistry(SchemeKind classic) {
    const std::wstring valueName = HostExeFullPath(GetBasePath());
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        MessageBoxW(nullptr, L"更新注册表失败", L"错误", MB_OK | MB_ICONERROR);
        return;
    }
    UniqueRegKey key(opened);
    if (classic)
        RegDeleteValueW(key.get(), valueName.c_str());
    else // REG_SZ with its terminating zero: 54 bytes.
        RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(kDpiUnawareLayers), sizeof kDpiUnawareLayers);
}
