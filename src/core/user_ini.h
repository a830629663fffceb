#pragma once
// The user.ini line rules and the all-or-nothing save.

#include "core/font_scheme.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// user.ini is read and written in pieces of this size; only a longer line makes a piece grow.
// Larger pieces mean fewer calls per MB of a large file but more fresh memory to touch for any
// file: 256 KiB measured best under wine (64 KiB: 1.8 copies per extra MB; 1 MiB: 10 ms more
// at 1 MB).
inline constexpr size_t kReadChunkSize = 256 * 1024;

// Key -> the whole line, its line end included, that replaces the first line carrying the key.
using KeyLines = std::map<std::string, std::string, std::less<>>;

// text without leading and trailing space, tab, CR and LF.
std::string_view Trim(std::string_view text);

// The value a line sets: the trimmed text after its first "=", for a line that carries a key.
std::string_view LineValue(std::string_view line);

// The scheme's entries as the lines that replace the keys' lines: key=value LF.
KeyLines SchemeLines(const FontMap& scheme);

// Adds to `found` the first line of `content` that carries each font key not found yet, as it
// stands, its line end included; blank lines, comments and lines without "=" carry no key.
void FindKeyLines(std::string_view content, KeyLines& found);

// FindKeyLines over the file at `path`, read until every font key is found; nothing when it
// cannot be read.
std::optional<KeyLines> ReadKeyLines(const std::wstring& path);

// The line that replaces `old`: `replacement`, with an LF where it has none and `old` has one,
// so that a line never joins the next.
std::string ReplacingLine(std::string_view old, std::string_view replacement);

// Appends `lines` (whole lines: each ends after LF or at the end of `lines`) to `out` with the
// first line of each key in `replacements` replaced (ReplacingLine); used keys are removed from
// `replacements`. Every other byte is kept.
void RewriteContent(std::string_view lines, KeyLines& replacements, std::string& out);

enum class Rewrite { Done, NoKeys, Failed };

// Streams `input` (from its start) through the line rules into a new file beside `path`, flushed
// to the disk: Done. NoKeys when no line carries a key of `replacements`: the new file is
// removed, nothing shown. On failure the new file is removed, "无法读取配置文件 user.ini" or
// "无法写入配置文件 user.ini" / "错误提醒" shown: Failed.
Rewrite RewriteLines(HANDLE input, KeyLines& replacements, const std::wstring& path);

// Puts the file RewriteLines made over `path` in one rename, so `path` is never missing; the
// new file has `path`'s attributes. On failure `path` is unchanged, the new file removed,
// "无法写入配置文件 user.ini" / "错误提醒" shown and false returned.
bool WriteLines(const std::wstring& path);
