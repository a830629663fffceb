#pragma once
// The time-stamped copy of user.ini made before every rewrite.

#include <string>

// month "-" dd "_" hhmm, e.g. "1-04_0957".
std::wstring FormatTimestamp(int month, int day, int hour, int minute);

// The current local time as FormatTimestamp gives it.
std::wstring GetCurrentTimestamp();

// directory + stem + "." + timestamp + "备份.ini" for the source path; from the second copy of
// a minute on, "(copy)" before "备份".
std::wstring BackupPathFor(const std::wstring& source, const std::wstring& timestamp, int copy);

// Copies the source beside itself under a working name, flushes the copy and only then renames it
// to its backup name, never over an earlier backup: a backup's name always holds a whole copy.
// A copy left by a switch cut short is removed first. Shows "备份文件失败" / "错误" and returns
// false on failure, with no copy left.
bool BackupFile(const std::wstring& source);
