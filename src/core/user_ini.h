#pragma once
// The user.ini line rules and the all-or-nothing save.

#include "core/font_scheme.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// text without leading and trailing space, tab, CR and LF.
std::string_view Trim(std::string_view text);

// The whole content with the first line of each key in `scheme` replaced by key=value LF;
// used keys are removed from `scheme`. Every other byte is kept.
std::string RewriteContent(std::string_view content, FontMap& scheme);

// Reads `input` (opened "rb") to its end and rewrites it. When reading fails it shows
// "无法读取配置文件 user.ini" / "错误提醒" and returns nullopt, so nothing half-read is written.
std::optional<std::string> RewriteLines(FILE* input, FontMap& scheme);

// Replaces the file at `path` with `content` as a whole, keeping its attributes. On failure the
// file is unchanged, "无法写入配置文件 user.ini" / "错误提醒" is shown and false returned.
bool WriteLines(const std::wstring& path, std::string_view content);
