#pragma once
// The host's value in the current user's compatibility layers. Its DPI override is the tool's;
// every other layer in it is the user's own, set in Windows' compatibility tab, and is kept.

#include "scheme_kind.h"

#include <optional>
#include <string>
#include <string_view>

inline constexpr wchar_t kLayersKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// The value a switch leaves, from the text it held ("" for none). The text is an optional marker
// (a first word of only "~", "^", "#" and "!") and layer names between spaces or tabs; it is
// written back with single spaces. Every DPI override name
// (HIGHDPIAWARE, DPIUNAWARE, GDIDPISCALING, in any case) is taken out; HD then adds
// "GDIDPISCALING DPIUNAWARE", with the marker "~" when there was neither a marker nor a layer.
// The marker and the other names keep their order. Nothing when no layer name is left: the value
// is deleted.
std::optional<std::wstring> MergedLayers(std::wstring_view value, SchemeKind classic);

// Whether UpdateRegistry would change the host's value: false when the value already is what the
// scheme makes of it, or cannot be read.
bool IsLayerChangePending(SchemeKind classic);

// Merges the scheme's DPI override into the host's value, named by the host's long path (a value
// that is not a REG_SZ counts as none). The key is opened to read, and to write only when the
// value changes. "更新注册表失败" / "错误" when the value cannot be read (it is then left as it is)
// or the change is refused.
void UpdateRegistry(SchemeKind classic);
