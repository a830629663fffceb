#pragma once

#include <string>

// The decimal digits of `value` (with "-" when negative) as wide text. std::to_wstring would
// bring the C runtime's whole printf engine into the executable.
std::wstring DecimalText(int value);
