#pragma once
// The host's DPI compatibility layer in the current user's registry.

#include "scheme_kind.h"

inline constexpr wchar_t kLayersKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
inline constexpr wchar_t kDpiUnawareLayers[] = L"~ GDIDPISCALING DPIUNAWARE";

// Classic deletes the host's value, HD sets it; "更新注册表失败" / "错误" when the key
// cannot be opened.
void UpdateRegistry(SchemeKind classic);
