#pragma once
// The end-to-end driver: a fresh host installation per case, the bytes user.ini must hold
// afterwards, the registry state, and the built tool driven only through the window system.

#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t kToolClass[] = L"QorvelFontSwitcher";
inline constexpr int kClassicButton = 1;
inline constexpr int kHdButton = 2;
inline constexpr wchar_t kLayersKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
inline constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
inline constexpr wchar_t kHdLayers[] = L"~ GDIDPISCALING DPIUNAWARE";

// Every wait of a case is bounded by its own time-out.
inline constexpr DWORD kWaitMs = 15000;

// ---- Waiting

// Polls `done` until it holds; on time-out the failure names what was awaited and, when
// `watched` is a process id, the message boxes that process has open.
testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& done,
                                   DWORD timeoutMs = kWaitMs, DWORD watched = 0);

// ---- Host installations

enum class Layout {
    Root,       // the tool beside tdxw.exe
    Vantiro,    // root\Vantiro\tool
    DeepVantiro // root\Vantiro\a\b\tool
};

struct InstallationPlan {
    Layout layout = Layout::Vantiro;
    std::wstring rootName = L"host";
    std::optional<std::string> userIni; // T0002\user.ini bytes; no file when nullopt
    bool withHost = true;               // tdxw.exe, a copy of the stand-in host
    bool withDecoys = false; // user.ini and tdxw.exe also in the root's parent, which only the
                             // second candidates of the folder layout reach
};

struct Installation {
    std::wstring root;
    std::wstring toolDir;
    std::wstring toolExe;
    std::wstring userIni;
    std::wstring hostExe; // root\tdxw.exe, also when it was not placed
};

Installation LayOut(const std::wstring& base, const InstallationPlan& plan);

// The ".ran" record a stand-in host leaves beside itself when it has run.
struct HostRun {
    std::wstring exePath;
    std::wstring currentDir;
};
std::optional<HostRun> ReadHostRun(const std::wstring& hostExe);

struct FileState {
    std::string bytes;
    DWORD attributes = 0;
    bool operator==(const FileState&) const = default;
};
// Every file and folder below `folder`, by relative path.
std::map<std::wstring, FileState> SnapshotTree(const std::wstring& folder);
// The entries that differ between two snapshots, for failure messages.
std::string DescribeChanges(const std::map<std::wstring, FileState>& before,
                            const std::map<std::wstring, FileState>& after);

// ---- user.ini contents

std::string Gbk(std::wstring_view text);

// A host user.ini as the host writes it: GBK, CR LF, sections, comments, the thirty font keys
// in assorted spellings, and lines that must not be touched.
std::string RealisticUserIni();

// The bytes a switch must leave: the first line of each scheme key replaced by key=value LF
// (lines end at LF), every other byte as it was. Written apart from the tool's code.
std::string ExpectedAfterSwitch(std::string_view content, bool classic);

// ---- Backups

SYSTEMTIME MinutesLater(const SYSTEMTIME& time, int minutes);

// user.<M-DD_HHMM>备份.ini for each minute from `from` to `to` (local time).
std::vector<std::wstring> BackupNamesBetween(const SYSTEMTIME& from, const SYSTEMTIME& to);

// ---- The tool through the window system

struct RunningTool {
    ChildProcess process;
    HWND window = nullptr;
};

// A visible top-level window of the tool's class owned by the process, or null.
HWND FindToolWindow(DWORD processId);

// Starts the tool with its folder as the current directory and waits for its visible window
// and for its message loop to wait for input.
testing::AssertionResult StartTool(const Installation& installation, RunningTool& tool);
testing::AssertionResult StartTool(const std::wstring& exe, const std::wstring& currentDir,
                                   RunningTool& tool);

// Posts BM_CLICK to button `id`, then reads `count` message boxes in order, each answered OK.
testing::AssertionResult ClickAndAnswer(const RunningTool& tool, int id, size_t count,
                                        std::vector<SeenBox>& boxes);

testing::AssertionResult ExitsWith(const RunningTool& tool, DWORD expectedCode);

// The process still runs and shows no message box for `quietMs`.
testing::AssertionResult StaysOpenQuietly(const RunningTool& tool, DWORD quietMs = 700);

// Closes the window as its close box would and expects exit code 0.
testing::AssertionResult ClosesCleanly(const RunningTool& tool);

testing::AssertionResult IsBox(const SeenBox& box, std::wstring_view caption,
                               std::wstring_view text, UINT icon);

std::wstring ClassName(HWND window);

struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Placement&) const = default;
};
void PrintTo(const Placement& placement, std::ostream* out);

// A child's rectangle in its parent's client coordinates; a window's on the screen.
Placement ChildPlacement(HWND child);
Placement WindowPlacementOnScreen(HWND window);

// ---- Clean slate

// Ends the tool's and the stand-in hosts' processes that a case may have left running.
void EndLeftoverProcesses();

// One case: a fresh temporary folder, the light theme, nothing of the tool or of a host
// running before or after it, and the registry values it made removed afterwards.
class ToolCase : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    TempDir temp;
    RunningTool tool;
};

// ---- Shared steps and checks

// The time around the one switch a case expects to succeed.
struct SwitchWindow {
    SYSTEMTIME pressed{};
    SYSTEMTIME reported{};
};

// ClickAndAnswer, with the local time taken before the click and after the last box.
testing::AssertionResult ClickAndAnswer(const RunningTool& tool, int id, size_t count,
                                        std::vector<SeenBox>& boxes, SwitchWindow& window);

// Starts the tool and presses a scheme button, expecting the success box only, the process
// ending with exit code 0 and the host started from `hostExe` in the tool's folder.
void ExpectSuccessfulSwitch(const Installation& installation, RunningTool& tool, bool classic,
                            SwitchWindow& window);

// T0002 holds user.ini and one backup named for a minute of `window`, equal to `original`.
void ExpectOneBackup(const Installation& installation, const std::string& original,
                     const SwitchWindow& window);

// Whether the stand-in host at `hostExe` has run, waiting up to `waitMs` for it.
bool HostRan(const std::wstring& hostExe, DWORD waitMs = 0);
