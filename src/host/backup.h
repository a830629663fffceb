#pragma once
// The time-stamped copy of user.ini made before every rewrite.

#include <string>
#include <string_view>
#include <vector>

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

// Whether `name` is one BackupFile gives a backup of a file with this stem: stem "." month "-" dd
// "_" hhmm, "(2)" to "(99)" or nothing, "备份.ini".
bool IsBackupName(std::wstring_view name, std::wstring_view stem);

struct FoundBackup {
    std::wstring path;
    std::wstring name;
    unsigned long long written; // last-write time
};

// The backups of `source` beside it, by the names BackupFile gives them, the most recently
// written first (a copied folder keeps the times; the names hold no year), then by name.
std::vector<FoundBackup> ListBackups(const std::wstring& source);
