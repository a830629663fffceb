#pragma once
// The time-stamped copy of user.ini made before every rewrite.

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The current local time as backups are named by it: month "-" dd "_" hhmm, e.g. "1-04_0957".
std::wstring GetCurrentTimestamp();

// directory + stem + "." + timestamp + "备份.ini" for the source path; from the second copy of
// a minute on, "(copy)" before "备份".
std::wstring BackupPathFor(const std::wstring& source, const std::wstring& timestamp, int copy);

// Copies the source beside itself under a working name, flushes the copy and only then renames it
// to its backup name, never over an earlier backup: a backup's name always holds a whole copy.
// A copy left by a switch cut short is removed first. Returns the backup's path; on failure shows
// "备份文件失败" / "错误" and returns nothing, with no copy left.
std::optional<std::wstring> BackupFile(const std::wstring& source);

// The time and the number in a backup's name, in the order of their lateness.
struct BackupStamp {
    int month;
    int day;
    int hour;
    int minute;
    int copy = 1; // 1 for a name without a number
    auto operator<=>(const BackupStamp&) const = default;
};

// The stamp of a name BackupFile gives a backup of a file with this stem: stem "." month "-" dd
// "_" hhmm, "(2)" to "(99)" or nothing, "备份.ini"; nothing for any other name.
std::optional<BackupStamp> ParseBackupName(std::wstring_view name, std::wstring_view stem);

struct FoundBackup {
    std::wstring path;
    std::wstring name;
    unsigned long long written; // last-write time
    BackupStamp stamp;
};

// The backups of `source` beside it, by the names BackupFile gives them, the most recently
// written first (a copied folder keeps the times; the names hold no year), equal times by the
// time and then the number in their names, the latest first.
std::vector<FoundBackup> ListBackups(const std::wstring& source);
