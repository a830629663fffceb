#include "host/backup.h"

#include "decimal_text.h"
#include "host/durable_file.h"
#include "message_box.h"

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <tuple>

namespace {

// A backup is copied in pieces of this size.
constexpr DWORD kCopyPieceSize = 256 * 1024;
// "user.1-04_0957备份.ini", then "(2)" to "(99)" for later backups of the same minute.
constexpr int kMaxBackupsPerMinute = 99;

// Two digits: a "0" before values of 9 or less.
std::wstring TwoDigits(int value) {
    return (value <= 9 ? L"0" : L"") + DecimalText(value);
}

// Copies `source` into the file `copy` and flushes it to the disk.
bool CopyFlushed(HANDLE source, const std::wstring& copy) {
    UniqueHandle out = CreateForWriting(copy, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    std::string piece(kCopyPieceSize, '\0');
    DWORD got = 0;
    while (out && ReadFile(source, piece.data(), kCopyPieceSize, &got, nullptr) &&
           WriteAll(out.get(), {piece.data(), got}))
        if (got == 0)
            return FlushFileBuffers(out.get()) != FALSE;
    return false;
}

constexpr wchar_t kBackupSuffix[] = L"备份.ini";

// Takes `prefix` off the start of `text`; whether it was there.
bool Take(std::wstring_view& text, std::wstring_view prefix) {
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Takes a number of one to four decimal digits off the start of `text`; whether it was there.
bool TakeNumber(std::wstring_view& text, int& value) {
    const size_t digits = std::min(text.find_first_not_of(L"0123456789"), text.size());
    if (digits == 0 || digits > 4)
        return false;
    value = 0;
    for (const wchar_t digit : text.substr(0, digits))
        value = value * 10 + (digit - L'0');
    text.remove_prefix(digits);
    return true;
}

// Splits a path into its folder, with its separator, and the stem of its file name.
std::pair<std::wstring, std::wstring> FolderAndStem(const std::wstring& source) {
    const size_t separator = source.find_last_of(L"\\/");
    const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    const size_t dot = source.rfind(L'.');
    const size_t stemEnd = dot == std::wstring::npos || dot < nameStart ? source.size() : dot;
    return {source.substr(0, nameStart), source.substr(nameStart, stemEnd - nameStart)};
}

std::wstring FormatTimestamp(int month, int day, int hour, int minute) {
    return DecimalText(month) + L"-" + TwoDigits(day) + L"_" + TwoDigits(hour) + TwoDigits(minute);
}

// Renames `copy` to the first backup name of the minute that is free: an earlier backup is kept.
// The name it took, or nothing.
std::optional<std::wstring> NameBackup(const std::wstring& copy, const std::wstring& source,
                                       const std::wstring& timestamp) {
    for (int number = 1; number <= kMaxBackupsPerMinute; ++number) {
        std::wstring name = BackupPathFor(source, timestamp, number);
        if (RenameDurably(copy, name, false))
            return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::wstring GetCurrentTimestamp() {
    __time64_t now = _time64(nullptr);
    tm local{};
    _localtime64_s(&local, &now);
    return FormatTimestamp(local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
}

std::wstring BackupPathFor(const std::wstring& source, const std::wstring& timestamp, int copy) {
    const auto [folder, stem] = FolderAndStem(source);
    const std::wstring number = copy > 1 ? L"(" + DecimalText(copy) + L")" : L"";
    return folder + stem + L"." + timestamp + number + kBackupSuffix;
}

std::optional<BackupStamp> ParseBackupName(std::wstring_view name, std::wstring_view stem) {
    std::wstring_view rest = name;
    BackupStamp stamp{};
    int hourMinute = 0;
    if (!Take(rest, stem) || !Take(rest, L".") || !TakeNumber(rest, stamp.month) ||
        !Take(rest, L"-") || !TakeNumber(rest, stamp.day) || !Take(rest, L"_") ||
        !TakeNumber(rest, hourMinute))
        return std::nullopt;
    stamp.hour = hourMinute / 100;
    stamp.minute = hourMinute % 100;
    if (Take(rest, L"(") && (!TakeNumber(rest, stamp.copy) || !Take(rest, L")")))
        return std::nullopt;
    if (rest != kBackupSuffix || stamp.month < 1 || stamp.month > 12 || stamp.day < 1 ||
        stamp.day > 31 || stamp.hour > 23 || stamp.minute > 59 || stamp.copy > kMaxBackupsPerMinute)
        return std::nullopt;
    // Written as BackupFile writes them: no zero left out or added, no "(1)".
    const std::wstring timestamp =
        FormatTimestamp(stamp.month, stamp.day, stamp.hour, stamp.minute);
    if (BackupPathFor(std::wstring(stem) + L".ini", timestamp, stamp.copy) != name)
        return std::nullopt;
    return stamp;
}

std::vector<FoundBackup> ListBackups(const std::wstring& source) {
    const auto [folder, stem] = FolderAndStem(source);
    std::vector<FoundBackup> backups;
    WIN32_FIND_DATAW entry{};
    const UniqueFind search =
        AdoptFind(FindFirstFileExW((folder + stem + L".*" + kBackupSuffix).c_str(), FindExInfoBasic,
                                   &entry, FindExSearchNameMatch, nullptr, 0));
    for (BOOL listed = search != nullptr; listed; listed = FindNextFileW(search.get(), &entry)) {
        const std::optional<BackupStamp> stamp = ParseBackupName(entry.cFileName, stem);
        if (stamp && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            backups.push_back({folder + entry.cFileName, entry.cFileName,
                               ULARGE_INTEGER{{entry.ftLastWriteTime.dwLowDateTime,
                                               entry.ftLastWriteTime.dwHighDateTime}}
                                   .QuadPart,
                               *stamp});
    }
    std::sort(backups.begin(), backups.end(), [](const FoundBackup& a, const FoundBackup& b) {
        return std::tie(a.written, a.stamp) > std::tie(b.written, b.stamp);
    });
    return backups;
}

std::optional<std::wstring> BackupFile(const std::wstring& source) {
    const std::wstring timestamp = GetCurrentTimestamp();
    const std::wstring copy = WorkFilePath(source, WorkFile::BackupCopy);
    DeleteFileW(copy.c_str()); // left by a switch cut short
    // Shared with every other opener: the switch holds the file open meanwhile.
    const UniqueHandle input = OpenForReading(source);
    // CopyFlushed closes the copy before it is renamed.
    std::optional<std::wstring> backup;
    if (input && CopyFlushed(input.get(), copy))
        backup = NameBackup(copy, source, timestamp);
    if (!backup) {
        DeleteFileW(copy.c_str());
        ShowBox(L"备份文件失败", L"错误", MB_OK | MB_ICONERROR);
    }
    return backup;
}
