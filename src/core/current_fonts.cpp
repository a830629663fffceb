#include "core/current_fonts.h"

#include "host/install_paths.h"

#include <algorithm>

namespace {

// Whether every value the lines carry is the scheme's for its key.
bool HasSchemeValues(const KeyLines& lines, const FontMap& scheme) {
    return std::all_of(lines.begin(), lines.end(), [&](const auto& keyLine) {
        const auto value = scheme.find(keyLine.first);
        return value != scheme.end() && LineValue(keyLine.second) == value->second;
    });
}

// By FontsKind.
constexpr const wchar_t* kFontsTexts[] = {L"user.ini 中没有字体设置", L"当前：经典字体",
                                          L"当前：高清字体", L"当前：自定义字体"};

} // namespace

FontsKind ClassifyFonts(const KeyLines& lines, const FontMap& classic, const FontMap& hd) {
    if (lines.empty())
        return FontsKind::None;
    if (HasSchemeValues(lines, classic))
        return FontsKind::Classic;
    return HasSchemeValues(lines, hd) ? FontsKind::Hd : FontsKind::Own;
}

std::wstring DescribeCurrentFonts() {
    const std::optional<std::wstring> userIni = FindUserIni(GetBasePath());
    if (!userIni)
        return L"没有找到 T0002\\user.ini";
    const std::optional<KeyLines> lines = ReadKeyLines(*userIni);
    if (!lines)
        return L"无法读取 user.ini";
    return kFontsTexts[static_cast<int>(
        ClassifyFonts(*lines, MakeFontScheme(kClassic).entries, MakeFontScheme(kHd).entries))];
}
