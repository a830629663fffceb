#include "core/user_ini.h"

#include "scoped.h"

#include <windows.h>

#include <io.h>

#include <algorithm>

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

// The key a line sets: empty for blank lines, comments and lines without "=".
std::string_view FindLineKey(std::string_view line) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#')
        return {};
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return {};
    return Trim(text.substr(0, equals));
}

// How much longer the content can grow: each replaced line is at most key=value LF.
size_t CountMaxGrowth(const FontMap& scheme) {
    size_t growth = 0;
    for (const auto& [key, value] : scheme)
        growth += key.size() + value.size() + 2;
    return growth;
}

// The rest of `input` in one buffer with room for `spare` more bytes; nullopt when reading fails.
std::optional<std::string> ReadAll(FILE* input, size_t spare) {
    const long long length = _filelengthi64(_fileno(input));
    // One byte more than the file holds, so that a single read normally meets end of file.
    const size_t expected = length > 0 ? static_cast<size_t>(length) + 1 : 4096;
    std::string content;
    content.reserve(expected + spare);
    content.resize(expected);
    size_t used = fread(content.data(), 1, content.size(), input);
    while (used == content.size()) { // the file grew while being read
        content.resize(content.size() * 2);
        used += fread(content.data() + used, 1, content.size() - used, input);
    }
    // A short read is complete only at end of file: wine's fread on a stream that cannot be
    // read reports neither an error nor the end.
    if (ferror(input) || !feof(input))
        return std::nullopt;
    content.resize(used);
    return content;
}

// Appends to `head` the content rewritten up to the end of its last replaced line and returns
// the offset from which the content stays as it is.
size_t RewriteHead(std::string_view content, FontMap& scheme, std::string& head) {
    size_t copied = 0; // content before this offset is already in `head`
    size_t start = 0;
    while (start < content.size() && !scheme.empty()) {
        const size_t newline = content.find('\n', start);
        const size_t end = newline == std::string_view::npos ? content.size() : newline + 1;
        const auto entry = scheme.find(FindLineKey(content.substr(start, end - start)));
        if (entry != scheme.end()) {
            head.append(content.substr(copied, start - copied));
            head.append(entry->first).append(1, '=').append(entry->second).append(1, '\n');
            scheme.erase(entry);
            copied = end;
        }
        start = end;
    }
    return copied;
}

// Checked before anything is written: wine as root writes read-only files where Windows refuses.
bool IsReplaceable(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

// The attributes the new file starts with. ReplaceFileW carries the original's over on
// Windows; wine's keeps the replacement's own, so the new file is created with them.
DWORD PickCreateAttributes(DWORD original) {
    const DWORD kept =
        original & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// Creates the file at `path` holding exactly `content`, flushed to the disk.
bool WriteNewFile(const std::wstring& path, std::string_view content, DWORD attributes) {
    UniqueHandle file = AdoptHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    if (!file)
        return false;
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return FlushFileBuffers(file.get()) != 0;
}

} // namespace

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string RewriteContent(std::string_view content, FontMap& scheme) {
    std::string output;
    output.reserve(content.size() + CountMaxGrowth(scheme));
    const size_t unchanged = RewriteHead(content, scheme, output);
    output.append(content.substr(unchanged));
    return output;
}

std::optional<std::string> RewriteLines(FILE* input, FontMap& scheme) {
    std::optional<std::string> content = ReadAll(input, CountMaxGrowth(scheme));
    if (!content) {
        MessageBoxW(nullptr, L"无法读取配置文件 user.ini", L"错误提醒", MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    // Rewritten in place, since the font keys stand near the top: only the rewritten head is
    // built apart, and no second buffer of the file's size is touched.
    std::string head;
    const size_t unchanged = RewriteHead(*content, scheme, head);
    content->replace(0, unchanged, head);
    return content;
}

bool WriteLines(const std::wstring& path, std::string_view content) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (IsReplaceable(attributes)) {
        const std::wstring replacement = path + L".fontswitch-new";
        // The replace moves the original here first; without such a name, a replace that fails
        // after that step would lose it.
        const std::wstring original = path + L".fontswitch-old";
        if (WriteNewFile(replacement, content, PickCreateAttributes(attributes)) &&
            ReplaceFileW(path.c_str(), replacement.c_str(), original.c_str(), 0, nullptr,
                         nullptr)) {
            DeleteFileW(original.c_str());
            return true;
        }
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) // moved aside, not back
            MoveFileExW(original.c_str(), path.c_str(), 0);
        DeleteFileW(replacement.c_str());
    }
    MessageBoxW(nullptr, L"无法写入配置文件 user.ini", L"错误提醒", MB_OK | MB_ICONERROR);
    return false;
}
