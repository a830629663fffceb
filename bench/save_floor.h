#pragma once
// The floor a switch's save is measured against: the least a durable, backed-up, all-or-nothing
// save of the same bytes does. A plain copy to a backup name, that copy flushed, the bytes
// already in memory written to a new file and flushed, and one write-through rename over the
// original.

#include "bench_timing.h"
#include "host/backup.h"
#include "scoped.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

// The floor writes in pieces of this size: under wine one WriteFile of 65 MB takes about 100 ms
// longer in every other run, pieces never do.
inline constexpr size_t kFloorPieceSize = 256 * 1024;

// The floor's pieces in ms; the copy alone is the plain copy printed for scale.
struct FloorTiming {
    double copyMs;
    double copyFlushMs;
    double writeMs;
    double flushMs;
    double renameMs;
    double TotalMs() const { return copyMs + copyFlushMs + writeMs + flushMs + renameMs; }
};

// Writes `bytes` to `path` (replacing it), flushed when `flush` is set.
inline bool WriteWhole(const std::wstring& path, const std::string& bytes, bool flush) {
    UniqueHandle file = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size() && (!flush || FlushFileBuffers(file.get()));
}

// Removes every file in `folder`: each switch and each floor starts with nothing beside user.ini.
inline void ClearFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    while (FindNextFileW(search, &found));
    FindClose(search);
}

// `path` alone in `folder`, holding `bytes` on the disk as a user.ini long saved does.
inline bool Restore(const std::wstring& folder, const std::wstring& path,
                    const std::string& bytes) {
    ClearFolder(folder);
    return WriteWhole(path, bytes, true);
}

// One floor save of `bytes` over `path`; the backup takes the name a switch would give it.
inline std::optional<FloorTiming> TimeFloor(const std::wstring& path, const std::string& bytes) {
    const std::wstring backup = BackupPathFor(path, GetCurrentTimestamp(), 1);
    const std::wstring newFile = path + L".floor-new";
    const double start = NowMs();
    if (!CopyFileW(path.c_str(), backup.c_str(), TRUE))
        return std::nullopt;
    const double copied = NowMs();
    {
        UniqueHandle file = AdoptHandle(CreateFileW(backup.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !FlushFileBuffers(file.get()))
            return std::nullopt;
    }
    const double backedUp = NowMs();
    double written = 0;
    {
        UniqueHandle file = AdoptHandle(CreateFileW(newFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return std::nullopt;
        for (size_t at = 0; at < bytes.size(); at += kFloorPieceSize) {
            const DWORD size = static_cast<DWORD>(std::min(kFloorPieceSize, bytes.size() - at));
            DWORD count = 0;
            if (!WriteFile(file.get(), bytes.data() + at, size, &count, nullptr) || count != size)
                return std::nullopt;
        }
        written = NowMs();
        if (!FlushFileBuffers(file.get()))
            return std::nullopt;
    }
    const double flushed = NowMs();
    if (!MoveFileExW(newFile.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::nullopt;
    const double renamed = NowMs();
    return FloorTiming{copied - start, backedUp - copied, written - backedUp, flushed - written,
                       renamed - flushed};
}

// Medians of each piece and of the totals.
struct FloorFigures {
    FloorTiming pieces;
    double totalMs;
};

inline FloorFigures MedianFloor(const std::vector<FloorTiming>& timings) {
    std::vector<double> copies, copyFlushes, writes, flushes, renames, totals;
    for (const FloorTiming& timing : timings) {
        copies.push_back(timing.copyMs);
        copyFlushes.push_back(timing.copyFlushMs);
        writes.push_back(timing.writeMs);
        flushes.push_back(timing.flushMs);
        renames.push_back(timing.renameMs);
        totals.push_back(timing.TotalMs());
    }
    return {{Median(copies), Median(copyFlushes), Median(writes), Median(flushes), Median(renames)},
            Median(totals)};
}
