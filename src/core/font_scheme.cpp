#include "core/font_scheme.h"

#include <windows.h>

namespace {

struct SlotFonts {
    const wchar_t* classicFace;
    const char* classicSize;
    const wchar_t* hdFace;
    const char* hdSize;
};

// One row per slot 1..10: the Classic column, then the HD column.
constexpr SlotFonts kSlots[10] = {
    {L"System", "-13", L"微软雅黑", "-12"},   {L"Arial", "-12", L"微软雅黑", "-10"},
    {L"宋体", "14", L"宋体", "-14"},          {L"Arial", "-12", L"微软雅黑", "-12"},
    {L"宋体", "14", L"微软雅黑", "-12"},      {L"Arial", "-12", L"微软雅黑", "-12"},
    {L"微软雅黑", "-18", L"微软雅黑", "-14"}, {L"Arial", "-12", L"微软雅黑", "-12"},
    {L"Arial", "-12", L"微软雅黑", "-10"},    {L"微软雅黑", "-22", L"微软雅黑", "-16"},
};

constexpr std::string_view kFontKeyStems[] = {"FONTNAME", "FONTSIZE", "FontWeigth"};

} // namespace

bool IsFontKey(std::string_view key) {
    for (const std::string_view stem : kFontKeyStems)
        if (key.starts_with(stem)) {
            const std::string_view slot = key.substr(stem.size());
            return slot == "10" || (slot.size() == 1 && slot[0] >= '1' && slot[0] <= '9');
        }
    return false;
}

FontScheme MakeFontScheme(SchemeKind classic) {
    FontScheme scheme{classic ? L"经典字体" : L"高清字体", {}};
    for (int slot = 1; slot <= 10; ++slot) {
        const SlotFonts& fonts = kSlots[slot - 1];
        const std::string n = std::to_string(slot);
        const auto& [name, size, weight] = kFontKeyStems;
        scheme.entries[std::string(name) + n] =
            UnicodeToGBK(classic ? fonts.classicFace : fonts.hdFace);
        scheme.entries[std::string(size) + n] = classic ? fonts.classicSize : fonts.hdSize;
        scheme.entries[std::string(weight) + n] = "400";
    }
    return scheme;
}

std::string UnicodeToGBK(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    const int converted =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(converted > 0 ? static_cast<size_t>(converted) - 1 : 0); // drop the terminator
    return bytes;
}
