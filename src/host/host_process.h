#pragma once
// Whether a process of the host is running.

#include <string>
#include <string_view>
#include <vector>

// A copy with A-Z lowered; every other unit unchanged.
std::wstring ToLower(std::wstring text);

// Whether the lowered executable name contains one of the lowered fragments.
bool IsNameMatching(std::wstring_view exeName, const std::vector<std::wstring>& fragments);

// Whether any running process's executable name matches; false when the list cannot be read.
bool IsProcessMatching(const std::vector<std::wstring>& fragments);
