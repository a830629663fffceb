#include "core/user_ini.h"

#include "host/durable_file.h"
#include "message_box.h"
#include "scoped.h"

#include <algorithm>
#include <memory>

namespace {

constexpr std::string_view kBlanks = " \t\r\n";
constexpr wchar_t kReadFailure[] = L"无法读取配置文件 user.ini";
constexpr wchar_t kWriteFailure[] = L"无法写入配置文件 user.ini";
// The font keys stand near the top of most files: smaller pieces keep the status line's reading
// light (a 4 MB file with the keys last costs 64 reads).
constexpr size_t kKeyReadPieceSize = 64 * 1024;

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

// Hands `take` the file's content from where it stands, whole lines at a time (the last may lack
// its LF), read into a reused buffer of `pieceSize` bytes, until the end or until `take` returns
// false. Only a line longer than the buffer grows it, and the buffer's memory is touched only as
// far as the file fills it. False when a read fails.
template <typename Take> bool ReadLines(HANDLE file, size_t pieceSize, Take take) {
    size_t size = pieceSize;
    size_t filled = 0;
    auto buffer = std::make_unique_for_overwrite<char[]>(size);
    for (;;) {
        if (filled == size) {
            auto larger = std::make_unique_for_overwrite<char[]>(size * 2);
            std::copy_n(buffer.get(), filled, larger.get());
            buffer = std::move(larger);
            size *= 2;
        }
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size - filled, 1u << 30));
        if (!ReadFile(file, buffer.get() + filled, wanted, &got, nullptr))
            return false;
        filled += got;
        const std::string_view data(buffer.get(), filled);
        const size_t whole = got == 0 ? filled : data.rfind('\n') + 1; // 0 while no LF came
        if (!take(data.substr(0, whole)) || got == 0)
            return true;
        std::copy(buffer.get() + whole, buffer.get() + filled, buffer.get());
        filled -= whole;
    }
}

// Copies `input` rewritten to `output`. Returns the failure's message, or nullptr.
const wchar_t* StreamRewritten(HANDLE input, KeyLines& replacements, HANDLE output) {
    if (!output)
        return kWriteFailure;
    std::string out;
    out.reserve(kReadChunkSize + CountMaxGrowth(replacements));
    bool written = true;
    const bool read = ReadLines(input, kReadChunkSize, [&](std::string_view lines) {
        // Once every key is used, the rest passes through as it is.
        if (!replacements.empty()) {
            out.clear();
            RewriteContent(lines, replacements, out);
            lines = out;
        }
        written = WriteAll(output, lines);
        return written;
    });
    if (!read)
        return kReadFailure;
    return written ? nullptr : kWriteFailure;
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

void FindKeyLines(std::string_view content, KeyLines& found) {
    ForEachLine(content, [&](std::string_view line, size_t) {
        const std::string_view key = FindLineKey(line);
        if (IsFontKey(key))
            found.emplace(key, line); // the first line of a key stays
        return found.size() < kFontKeyCount;
    });
}

std::optional<KeyLines> ReadKeyLines(const std::wstring& path) {
    const UniqueHandle file = OpenForReading(path);
    KeyLines found;
    if (!file || !ReadLines(file.get(), kKeyReadPieceSize, [&](std::string_view lines) {
            FindKeyLines(lines, found);
            return found.size() < kFontKeyCount;
        }))
        return std::nullopt;
    return found;
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

Rewrite RewriteLines(HANDLE input, KeyLines& replacements, const std::wstring& path) {
    const std::wstring newFile = WorkFilePath(path, WorkFile::NewContent);
    DeleteFileW(newFile.c_str()); // left by a switch cut short, maybe with other attributes
    const size_t keys = replacements.size();
    const wchar_t* failure = nullptr;
    bool replaced = false;
    {
        UniqueHandle output = CreateForWriting(
            newFile, CREATE_ALWAYS, PickCreateAttributes(GetFileAttributesW(path.c_str())));
        failure = StreamRewritten(input, replacements, output.get());
        replaced = replacements.size() < keys;
        // A file in which no key was replaced is removed: it need not reach the disk.
        if (!failure && replaced && !FlushFileBuffers(output.get()))
            failure = kWriteFailure;
    }
    if (!failure && replaced)
        return Rewrite::Done;
    DeleteFileW(newFile.c_str());
    if (!failure)
        return Rewrite::NoKeys;
    ShowBox(failure, L"错误提醒", MB_OK | MB_ICONERROR);
    return Rewrite::Failed;
}

bool WriteLines(const std::wstring& path) {
    const std::wstring newFile = WorkFilePath(path, WorkFile::NewContent);
    if (IsReplaceable(GetFileAttributesW(path.c_str())) && RenameDurably(newFile, path, true))
        return true;
    DeleteFileW(newFile.c_str());
    ShowBox(kWriteFailure, L"错误提醒", MB_OK | MB_ICONERROR);
    return false;
}
