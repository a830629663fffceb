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

// Copies `source` into the new file `backup` and flushes it to the disk; a copy that fails is
// removed. Fails with ERROR_FILE_EXISTS, touching nothing, when `backup` exists.
bool CopyFlushed(HANDLE source, const std::wstring& backup) {
    UniqueHandle out = CreateForWriting(backup, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (!out)
        return false;
    std::string piece(kCopyPieceSize, '\0');
    DWORD got = 0;
    bool copied = false;
    while (ReadFile(source, piece.data(), kCopyPieceSize, &got, nullptr) &&
           WriteAll(out.get(), {piece.data(), got}))
        if (got == 0) {
            copied = FlushFileBuffers(out.get()) != FALSE;
            break;
        }
    out.reset();
    if (!copied)
        DeleteFileW(backup.c_str());
    return copied;
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
    // Shared with every other opener: the switch holds the file open meanwhile.
    const UniqueHandle input = AdoptHandle(CreateFileW(
        source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    bool copied = false;
    // An earlier backup of the same minute is kept: this copy takes the next free number.
    for (int copy = 1; input && copy <= kMaxBackupsPerMinute; ++copy) {
        copied = CopyFlushed(input.get(), BackupPathFor(source, timestamp, copy));
        if (copied || GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!copied)
        MessageBoxW(nullptr, L"备份文件失败", L"错误", MB_OK | MB_ICONERROR);
    return copied;
}
