#include "core/decimal_text.h"

std::wstring DecimalText(int value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}
