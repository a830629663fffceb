#include "host/backup.h"

#include "decimal_text.h"

#include <windows.h>

#include <ctime>

namespace {

// Two digits: a "0" before values of 9 or less.
std::wstring TwoDigits(int value) {
    return (value <= 9 ? L"0" : L"") + DecimalText(value);
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

std::wstring BackupPathFor(const std::wstring& source, const std::wstring& timestamp) {
    // Directory and stem together: everything before the file name's last dot.
    size_t separator = source.find_last_of(L"\\/");
    size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    size_t dot = source.rfind(L'.');
    size_t stemEnd = dot == std::wstring::npos || dot < nameStart ? source.size() : dot;
    return source.substr(0, stemEnd) + L"." + timestamp + L"备份.ini";
}

bool BackupFile(const std::wstring& source) {
    std::wstring backup = BackupPathFor(source, GetCurrentTimestamp());
    if (CopyFileW(source.c_str(), backup.c_str(), FALSE))
        return true;
    MessageBoxW(nullptr, L"备份文件失败", L"错误", MB_OK | MB_ICONERROR);
    return false;
}
