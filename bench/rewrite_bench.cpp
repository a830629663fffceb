// Times the user.ini switch (RewriteLines + WriteLines) against a plain CopyFileW of the same file,
// side by side in one run, for a 1 MB and a 10 MB file; prints the medians and their ratios, and
// the ratio of what each extra MB costs. For scale it also times writing the same bytes to a new
// file with FlushFileBuffers, the durable write the switch cannot go below.

#include "bench_timing.h"
#include "core/user_ini.h"
#include "scoped.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kRepetitions = 9;
constexpr size_t kMegabyte = 1024 * 1024;

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

bool WriteWhole(const std::wstring& path, const std::string& bytes, bool flush) {
    UniqueHandle file = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size() && (!flush || FlushFileBuffers(file.get()));
}

// One switch to HD on the file as the tool does it; negative when it failed.
double TimeSwitch(const std::wstring& path) {
    const double start = NowMs();
    FontMap scheme = MakeFontScheme(false).entries;
    UniqueFile input{_wfopen(path.c_str(), L"rb")};
    const bool rewritten = input && RewriteLines(input.get(), scheme, path);
    input.reset();
    if (!rewritten || !WriteLines(path))
        return -1;
    return NowMs() - start;
}

double TimeCopy(const std::wstring& from, const std::wstring& to) {
    const double start = NowMs();
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        return -1;
    return NowMs() - start;
}

double TimeFlushedWrite(const std::wstring& path, const std::string& bytes) {
    const double start = NowMs();
    if (!WriteWhole(path, bytes, true))
        return -1;
    return NowMs() - start;
}

struct Timing {
    double switchMs;
    double copyMs;
    double flushedWriteMs;
};

// Medians over interleaved repetitions; the file is restored untimed before each switch.
std::optional<Timing> Measure(const std::wstring& folder, size_t size) {
    const std::string original = GenerateIni(size);
    const std::wstring ini = folder + L"\\user.ini";
    const std::wstring other = folder + L"\\other.ini";
    std::vector<double> switches, copies, flushedWrites;
    for (int i = 0; i < kRepetitions; ++i) {
        if (!WriteWhole(ini, original, false))
            return std::nullopt;
        switches.push_back(TimeSwitch(ini));
        copies.push_back(TimeCopy(ini, other));
        DeleteFileW(other.c_str());
        flushedWrites.push_back(TimeFlushedWrite(other, original));
        DeleteFileW(other.c_str());
        if (switches.back() < 0 || copies.back() < 0 || flushedWrites.back() < 0)
            return std::nullopt;
    }
    DeleteFileW(ini.c_str());
    return Timing{Median(switches), Median(copies), Median(flushedWrites)};
}

void PrintRow(const char* label, double switchMs, double copyMs, double flushedWriteMs) {
    std::printf("%-14s switch %8.2f ms  copy %7.2f ms  flushed write %7.2f ms  "
                "switch/copy %5.2f  flushed write/copy %5.2f\n",
                label, switchMs, copyMs, flushedWriteMs, switchMs / copyMs,
                flushedWriteMs / copyMs);
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"fontswitch-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::optional<Timing> small = Measure(folder, kMegabyte);
    const std::optional<Timing> large = Measure(folder, 10 * kMegabyte);
    RemoveDirectoryW(folder.c_str());
    if (!small || !large) {
        std::printf("a switch or a copy failed\n");
        return 1;
    }
    std::printf("median of %d; switch = RewriteLines + WriteLines, copy = CopyFileW, flushed "
                "write = the same bytes to a new file with FlushFileBuffers\n",
                kRepetitions);
    PrintRow("1 MB:", small->switchMs, small->copyMs, small->flushedWriteMs);
    PrintRow("10 MB:", large->switchMs, large->copyMs, large->flushedWriteMs);
    PrintRow("each extra MB:", (large->switchMs - small->switchMs) / 9,
             (large->copyMs - small->copyMs) / 9,
             (large->flushedWriteMs - small->flushedWriteMs) / 9);
    std::printf("target: each extra MB costs the switch at most 3 copies\n");
    return 0;
}
