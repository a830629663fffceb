#pragma once
// Whole numbers as wide text.

#include <string>

// The decimal digits of `value` (with "-" when negative) as wide text. std::to_wstring would
// bring the C runtime's whole printf engine into the executable.
inline std::wstring DecimalText(int value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}
