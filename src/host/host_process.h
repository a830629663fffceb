#pragma once
// Whether a process of the host is running.

#include <string>
#include <string_view>
#include <vector>

// A copy with A-Z lowered; every other unit unchanged.
std::wstring ToLower(std::wstring text);

// Whether the lowered executable name contains one of the lowered fragments.
bool IsNameMatching(std::wstring_view exeName, const std::vector<std::wstring>& fragments);

// Whether the executable name of a running process other than this one matches; false when the
// list cannot be read.
bool IsProcessMatching(const std::vector<std::wstring>& fragments);
