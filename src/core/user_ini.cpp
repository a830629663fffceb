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

// How much longer the content can grow: each replaced line is at most key=value LF.
size_t CountMaxGrowth(const FontMap& scheme) {
    size_t growth = 0;
    for (const auto& [key, value] : scheme)
        growth += key.size() + value.size() + 2;
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
const wchar_t* StreamRewritten(FILE* input, FontMap& scheme, HANDLE output) {
    if (!output)
        return kWriteFailure;
    std::string buffer(kReadChunkSize, '\0');
    std::string out;
    out.reserve(kReadChunkSize + CountMaxGrowth(scheme));
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
        const size_t whole = atEnd || scheme.empty() ? filled : data.rfind('\n') + 1;
        std::string_view rewritten = data.substr(0, whole); // 0 bytes while no LF came
        if (!scheme.empty()) {
            out.clear();
            RewriteContent(rewritten, scheme, out);
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

void RewriteContent(std::string_view lines, FontMap& scheme, std::string& out) {
    size_t copied = 0; // lines before this offset are already in `out`
    size_t start = 0;
    while (start < lines.size() && !scheme.empty()) {
        const size_t newline = lines.find('\n', start);
        const size_t end = newline == std::string_view::npos ? lines.size() : newline + 1;
        const auto entry = scheme.find(FindLineKey(lines.substr(start, end - start)));
        if (entry != scheme.end()) {
            out.append(lines.substr(copied, start - copied));
            out.append(entry->first).append(1, '=').append(entry->second).append(1, '\n');
            scheme.erase(entry);
            copied = end;
        }
        start = end;
    }
    out.append(lines.substr(copied));
}

bool RewriteLines(FILE* input, FontMap& scheme, const std::wstring& path) {
    const std::wstring newFile = WorkFilePath(path, WorkFile::NewContent);
    DeleteFileW(newFile.c_str()); // left by a switch cut short, maybe with other attributes
    const wchar_t* failure = nullptr;
    {
        UniqueHandle output = CreateForWriting(
            newFile, CREATE_ALWAYS, PickCreateAttributes(GetFileAttributesW(path.c_str())));
        failure = StreamRewritten(input, scheme, output.get());
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
