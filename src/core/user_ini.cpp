#include "core/user_ini.h"

#include "host/durable_file.h"
#include "scoped.h"

#include <windows.h>

#include <algorithm>

#include <io.h>

namespace {

constexpr std::string_view kBlanks = " \t\r\n";
constexpr wchar_t kReadFailure[] = L"无法读取配置文件 user.ini";
constexpr wchar_t kWriteFailure[] = L"无法写入配置文件 user.ini";

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

// Calls `visit(line, start)` for each line of `lines` (each ends after LF or at the end) while it
// returns true.
template <typename Visit> void ForEachLine(std::string_view lines, Visit visit) {
    for (size_t start = 0; start < lines.size();) {
        const size_t newline = lines.find('\n', start);
        const size_t end = newline == std::string_view::npos ? lines.size() : newline + 1;
        if (!visit(lines.substr(start, end - start), start))
            return;
        start = end;
    }
}

// How much longer the content can grow: each replaced line is at most its replacement and LF.
size_t CountMaxGrowth(const KeyLines& replacements) {
    size_t growth = 0;
    for (const auto& [key, line] : replacements)
        growth += line.size() + 1;
    return growth;
}

void ShowFailure(const wchar_t* text) {
    MessageBoxW(nullptr, text, L"错误提醒", MB_OK | MB_ICONERROR);
}

// Checked before anything is replaced: wine as root writes read-only files where Windows refuses.
bool IsReplaceable(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

// The attributes the new file starts with: the rename over the original keeps its own.
DWORD PickCreateAttributes(DWORD original) {
    if (original == INVALID_FILE_ATTRIBUTES)
        return FILE_ATTRIBUTE_NORMAL;
    const DWORD kept =
        original & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// Reads up to `size` bytes from the file's own handle, past the C runtime's buffer; 0 at the end
// (a closed pipe counts as the end), -1 when the read fails.
long long ReadSome(FILE* input, char* into, size_t size) {
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input)));
    DWORD got = 0;
    if (!ReadFile(file, into, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &got, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
}

// Copies `input` rewritten to `output` through two reused buffers, whole lines at a time (only a
// line longer than the buffer grows it), and flushes `output` to the disk. Returns the failure's
// message, or nullptr.
const wchar_t* StreamRewritten(FILE* input, KeyLines& replacements, HANDLE output) {
    if (!output)
        return kWriteFailure;
    std::string buffer(kReadChunkSize, '\0');
    std::string out;
    out.reserve(kReadChunkSize + CountMaxGrowth(replacements));
    size_t filled = 0;
    for (;;) {
        if (filled == buffer.size())
            buffer.resize(buffer.size() * 2);
        const long long got = ReadSome(input, buffer.data() + filled, buffer.size() - filled);
        if (got < 0)
            return kReadFailure;
        filled += static_cast<size_t>(got);
        const bool atEnd = got == 0;
        // Once every key is used, the rest passes through as it is, whole lines or not.
        const std::string_view data(buffer.data(), filled);
        const size_t whole = atEnd || replacements.empty() ? filled : data.rfind('\n') + 1;
        std::string_view rewritten = data.substr(0, whole); // 0 bytes while no LF came
        if (!replacements.empty()) {
            out.clear();
            RewriteContent(rewritten, replacements, out);
            rewritten = out;
        }
        if (!WriteAll(output, rewritten))
            return kWriteFailure;
        if (atEnd)
            return FlushFileBuffers(output) ? nullptr : kWriteFailure;
        std::copy(buffer.begin() + whole, buffer.begin() + filled, buffer.begin());
        filled -= whole;
    }
}

} // namespace

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view LineValue(std::string_view line) {
    const std::string_view text = Trim(line);
    return Trim(text.substr(text.find('=') + 1));
}

KeyLines SchemeLines(const FontMap& scheme) {
    KeyLines lines;
    for (const auto& [key, value] : scheme)
        lines.emplace(key, key + "=" + value + "\n");
    return lines;
}

void FindKeyLines(std::string_view content, const FontMap& keys, KeyLines& found) {
    ForEachLine(content, [&](std::string_view line, size_t) {
        const std::string_view key = FindLineKey(line);
        if (keys.contains(key))
            found.emplace(key, line); // the first line of a key stays
        return found.size() < keys.size();
    });
}

std::optional<KeyLines> ReadKeyLines(const std::wstring& path, const FontMap& keys) {
    const UniqueHandle file = AdoptHandle(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    KeyLines found;
    std::string buffer;
    DWORD got = 1;
    while (file && found.size() < keys.size() && got > 0) {
        const size_t kept = buffer.size(); // a line not yet whole
        buffer.resize(kept + kReadChunkSize);
        if (!ReadFile(file.get(), buffer.data() + kept, kReadChunkSize, &got, nullptr))
            return std::nullopt;
        buffer.resize(kept + got);
        const size_t whole = got == 0 ? buffer.size() : buffer.rfind('\n') + 1;
        FindKeyLines(std::string_view(buffer).substr(0, whole), keys, found);
        buffer.erase(0, whole);
    }
    return file ? std::optional<KeyLines>(std::move(found)) : std::nullopt;
}

std::string ReplacingLine(std::string_view old, std::string_view replacement) {
    const bool joins = !replacement.ends_with('\n') && old.ends_with('\n');
    return std::string(replacement) + (joins ? "\n" : "");
}

void RewriteContent(std::string_view lines, KeyLines& replacements, std::string& out) {
    size_t copied = 0; // lines before this offset are already in `out`
    ForEachLine(lines, [&](std::string_view line, size_t start) {
        const auto entry = replacements.find(FindLineKey(line));
        if (entry != replacements.end()) {
            out.append(lines.substr(copied, start - copied));
            out.append(ReplacingLine(line, entry->second));
            replacements.erase(entry);
            copied = start + line.size();
        }
        return !replacements.empty();
    });
    out.append(lines.substr(copied));
}

bool RewriteLines(FILE* input, KeyLines& replacements, const std::wstring& path) {
    const std::wstring newFile = WorkFilePath(path, WorkFile::NewContent);
    DeleteFileW(newFile.c_str()); // left by a switch cut short, maybe with other attributes
    const wchar_t* failure = nullptr;
    {
        UniqueHandle output = CreateForWriting(
            newFile, CREATE_ALWAYS, PickCreateAttributes(GetFileAttributesW(path.c_str())));
        failure = StreamRewritten(input, replacements, output.get());
    }
    if (!failure)
        return true;
    DeleteFileW(newFile.c_str());
    ShowFailure(failure);
    return false;
}

bool WriteLines(const std::wstring& path) {
    const std::wstring newFile = WorkFilePath(path, WorkFile::NewContent);
    if (IsReplaceable(GetFileAttributesW(path.c_str())) && RenameDurably(newFile, path, true))
        return true;
    DeleteFileW(newFile.c_str());
    ShowFailure(kWriteFailure);
    return false;
}
