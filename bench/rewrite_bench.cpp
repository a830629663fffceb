// Times the user.ini save as a switch makes it (BackupFile, RewriteLines and WriteLines, called as
// WriteFontConfig calls them) against the floor of a durable, backed-up, all-or-nothing save of the
// same bytes (save_floor.h), side by side in one run, for a 1 MB and a 65 MB file; prints the
// medians of each piece and what each extra MB costs the switch against the floor.

#include "bench_timing.h"
#include "core/user_ini.h"
#include "host/backup.h"
#include "host/durable_file.h"
#include "save_floor.h"
#include "scoped.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kRepetitions = 15;
constexpr size_t kMegabyte = 1024 * 1024;
constexpr size_t kSmallMegabytes = 1;
constexpr size_t kLargeMegabytes = 65;
constexpr double kTarget = 1.1;

// A host-like user.ini of about `size` bytes: GBK text, CR LF, the thirty font keys near the top
// and then many sections of other settings.
std::string GenerateIni(size_t size) {
    std::string ini = "[MAIN]\r\nVersion=7.65\r\nUserName=\xD5\xC5\xC8\xFD\r\n[FONT]\r\n";
    for (int slot = 1; slot <= 10; ++slot) {
        const std::string n = std::to_string(slot);
        ini += "FONTNAME" + n + "=\xCB\xCE\xCC\xE5\r\nFONTSIZE" + n + "=-12\r\nFontWeigth" + n +
               "=400\r\n";
    }
    for (int i = 0; ini.size() < size; ++i) {
        if (i % 40 == 0)
            ini += "\r\n[BLOCK" + std::to_string(i / 40) + "]\r\n";
        ini += "Item" + std::to_string(i) + " = \xD7\xD4\xD1\xA1\xB9\xC9," +
               std::to_string(600000 + i * 37 % 400000) + ",1,0,\xC9\xCF\xBA\xA3\r\n";
    }
    return ini;
}

struct SwitchTiming {
    double backupMs;  // user.ini opened as the switch opens it, BackupFile
    double rewriteMs; // RewriteLines, user.ini closed
    double renameMs;  // WriteLines
    double TotalMs() const { return backupMs + rewriteMs + renameMs; }
};

// One switch to HD of the file's save, in the order a switch makes it.
std::optional<SwitchTiming> TimeSwitch(const std::wstring& path) {
    const double start = NowMs();
    UniqueHandle input = OpenForReading(path);
    if (!input || !BackupFile(path))
        return std::nullopt;
    const double backedUp = NowMs();
    KeyLines scheme = SchemeLines(MakeFontScheme(kHd).entries);
    const bool rewritten = RewriteLines(input.get(), scheme, path) == Rewrite::Done;
    input.reset();
    const double streamed = NowMs();
    if (!rewritten || !WriteLines(path))
        return std::nullopt;
    return SwitchTiming{backedUp - start, streamed - backedUp, NowMs() - streamed};
}

struct Figures {
    SwitchTiming switchPieces;
    double switchMs;
    FloorFigures floor;
};

// Medians over interleaved repetitions after one unmeasured round (the first writes of a size
// are slower); user.ini is restored untimed before each switch and each floor.
std::optional<Figures> Measure(const std::wstring& folder, size_t size) {
    const std::string original = GenerateIni(size);
    const std::wstring ini = folder + L"\\user.ini";
    std::vector<double> backups, rewrites, renames, switches;
    std::vector<FloorTiming> floors;
    for (int round = 0; round <= kRepetitions; ++round) {
        if (!Restore(folder, ini, original))
            return std::nullopt;
        const std::optional<SwitchTiming> switched = TimeSwitch(ini);
        if (!switched || !Restore(folder, ini, original))
            return std::nullopt;
        const std::optional<FloorTiming> floor = TimeFloor(ini, original);
        if (!floor)
            return std::nullopt;
        if (round == 0)
            continue;
        backups.push_back(switched->backupMs);
        rewrites.push_back(switched->rewriteMs);
        renames.push_back(switched->renameMs);
        switches.push_back(switched->TotalMs());
        floors.push_back(*floor);
    }
    ClearFolder(folder);
    return Figures{{Median(backups), Median(rewrites), Median(renames)},
                   Median(switches),
                   MedianFloor(floors)};
}

void PrintRow(const char* label, double smallMs, double largeMs) {
    std::printf("  %-38s %8.2f %9.2f %10.3f\n", label, smallMs, largeMs,
                (largeMs - smallMs) / (kLargeMegabytes - kSmallMegabytes));
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"fontswitch-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::optional<Figures> small = Measure(folder, kSmallMegabytes * kMegabyte);
    const std::optional<Figures> large = Measure(folder, kLargeMegabytes * kMegabyte);
    RemoveDirectoryW(folder.c_str());
    if (!small || !large) {
        std::printf("a switch or a floor save failed\n");
        return 1;
    }
    const SwitchTiming& ss = small->switchPieces;
    const SwitchTiming& ls = large->switchPieces;
    const FloorTiming& sf = small->floor.pieces;
    const FloorTiming& lf = large->floor.pieces;
    std::printf("median of %d, switch and floor interleaved, in ms:\n"
                "  %-38s %5zu MB %6zu MB  each extra MB\n",
                kRepetitions, "", kSmallMegabytes, kLargeMegabytes);
    PrintRow("switch", small->switchMs, large->switchMs);
    PrintRow("  backup (BackupFile)", ss.backupMs, ls.backupMs);
    PrintRow("  rewrite and flush (RewriteLines)", ss.rewriteMs, ls.rewriteMs);
    PrintRow("  rename (WriteLines)", ss.renameMs, ls.renameMs);
    PrintRow("floor", small->floor.totalMs, large->floor.totalMs);
    PrintRow("  copy to the backup (CopyFileW)", sf.copyMs, lf.copyMs);
    PrintRow("  flush of the backup", sf.copyFlushMs, lf.copyFlushMs);
    PrintRow("  write from memory to a new file", sf.writeMs, lf.writeMs);
    PrintRow("  flush of the new file", sf.flushMs, lf.flushMs);
    PrintRow("  rename over user.ini (write-through)", sf.renameMs, lf.renameMs);
    const double megabytes = kLargeMegabytes - kSmallMegabytes;
    const double extraSwitch = (large->switchMs - small->switchMs) / megabytes;
    const double extraFloor = (large->floor.totalMs - small->floor.totalMs) / megabytes;
    const double extraCopy = (lf.copyMs - sf.copyMs) / megabytes;
    const double ratio = extraSwitch / extraFloor;
    std::printf("each extra MB: switch %.3f ms, floor %.3f ms, ratio %.2f (target at most %.1f: "
                "%s); a plain copy %.3f ms\n",
                extraSwitch, extraFloor, ratio, kTarget, ratio <= kTarget ? "met" : "MISSED",
                extraCopy);
    return 0;
}
