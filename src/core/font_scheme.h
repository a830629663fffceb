#pragma once
// The two fixed font schemes as data, and the conversion of wide text to the ANSI code page.

#include "scheme_kind.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

// Key -> value in the bytes written to user.ini; transparent lookup by std::string_view.
using FontMap = std::map<std::string, std::string, std::less<>>;

struct FontScheme {
    std::wstring displayName;
    FontMap entries;
};

// user.ini's thirty font keys: FONTNAMEn, FONTSIZEn and FontWeigthn for n = 1..10.
inline constexpr size_t kFontKeyCount = 30;
bool IsFontKey(std::string_view key);

// A new scheme with its thirty entries (FONTNAMEn, FONTSIZEn, FontWeigthn for n = 1..10).
FontScheme MakeFontScheme(SchemeKind classic);

// Wide text converted with the system's ANSI code page (GBK on code page 936).
std::string UnicodeToGBK(const std::wstring& text);
