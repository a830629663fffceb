#include "host/backup.h"

#include "decimal_text.h"
#include "host/durable_file.h"

#include <windows.h>

#include <ctime>

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

// Renames `copy` to the first backup name of the minute that is free: an earlier backup is kept.
bool NameBackup(const std::wstring& copy, const std::wstring& source,
                const std::wstring& timestamp) {
    for (int number = 1; number <= kMaxBackupsPerMinute; ++number) {
        if (RenameDurably(copy, BackupPathFor(source, timestamp, number), false))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

} // namespace

std::wstring FormatTimestamp(int month, int day, int hour, int minute) {
    return DecimalText(month) + L"-" + TwoDigits(day) + L"_" + TwoDigits(hour) + TwoDigits(minute);
}

std::wstring GetCurrentTimestamp() {
    __time64_t now = _time64(nullptr);
    tm local{};
    _localtime64_s(&local, &now);
    return FormatTimestamp(local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
}

std::wstring BackupPathFor(const std::wstring& source, const std::wstring& timestamp, int copy) {
    // Directory and stem together: everything before the file name's last dot.
    size_t separator = source.find_last_of(L"\\/");
    size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    size_t dot = source.rfind(L'.');
    size_t stemEnd = dot == std::wstring::npos || dot < nameStart ? source.size() : dot;
    const std::wstring number = copy > 1 ? L"(" + DecimalText(copy) + L")" : L"";
    return source.substr(0, stemEnd) + L"." + timestamp + number + L"备份.ini";
}

bool BackupFile(const std::wstring& source) {
    const std::wstring timestamp = GetCurrentTimestamp();
    const std::wstring copy = WorkFilePath(source, WorkFile::BackupCopy);
    DeleteFileW(copy.c_str()); // left by a switch cut short
    // Shared with every other opener: the switch holds the file open meanwhile.
    const UniqueHandle input = AdoptHandle(CreateFileW(
        source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // CopyFlushed closes the copy before it is renamed.
    const bool backedUp =
        input && CopyFlushed(input.get(), copy) && NameBackup(copy, source, timestamp);
    if (!backedUp) {
        DeleteFileW(copy.c_str());
        MessageBoxW(nullptr, L"备份文件失败", L"错误", MB_OK | MB_ICONERROR);
    }
    return backedUp;
}
