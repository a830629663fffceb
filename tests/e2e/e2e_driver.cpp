#include "e2e_driver.h"

#include <algorithm>
#include <cwctype>

namespace {

// Window and screen coordinates of other processes are read unscaled only by a DPI-aware
// process, as the tool itself is.
[[maybe_unused]] const bool kDpiAware = SetProcessDPIAware() != FALSE;

std::string DescribeOpenBoxes(DWORD processId) {
    std::string description;
    for (HWND box : FindMessageBoxes(processId))
        description += "\n  open box \"" + Narrow(WindowText(box)) + "\": \"" +
                       Narrow(WindowText(GetDlgItem(box, 0xFFFF))) + "\"";
    return description;
}

std::string IconName(UINT icon) {
    switch (icon) {
    case MB_ICONERROR:
        return "error";
    case MB_ICONWARNING:
        return "warning";
    case MB_ICONINFORMATION:
        return "information";
    case MB_ICONQUESTION:
        return "question";
    default:
        return "unknown (" + std::to_string(icon) + ")";
    }
}

std::wstring Widen(std::string_view utf8) {
    std::wstring text(utf8.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    text.data(), static_cast<int>(text.size())));
    return text;
}

void SnapshotInto(const std::wstring& folder, const std::wstring& relative,
                  std::map<std::wstring, FileState>& files) {
    WIN32_FIND_DATAW entry;
    HANDLE found = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[relative + name + L"\\"] = FileState{{}, entry.dwFileAttributes};
            SnapshotInto(path, relative + name + L"\\", files);
        } else {
            files[relative + name] = FileState{ReadBytes(path), entry.dwFileAttributes};
        }
    } while (FindNextFileW(found, &entry));
    FindClose(found);
}

// The key a line sets, or nothing for blank lines, comments and lines without "=".
std::optional<std::string_view> KeyOfLine(std::string_view line) {
    auto trim = [](std::string_view text) {
        const char* blanks = " \t\r\n";
        const size_t first = text.find_first_not_of(blanks);
        if (first == std::string_view::npos)
            return std::string_view{};
        return text.substr(first, text.find_last_not_of(blanks) - first + 1);
    };
    const std::string_view text = trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#' || text.find('=') == text.npos)
        return std::nullopt;
    return trim(text.substr(0, text.find('=')));
}

// The thirty values of a scheme, in the bytes written to the file (GBK face names).
std::map<std::string, std::string, std::less<>> SchemeValues(bool classic) {
    const std::string songti = "\xCB\xCE\xCC\xE5";                // 宋体
    const std::string yahei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA"; // 微软雅黑
    const std::string classicFaces[10] = {"System", "Arial", songti,  "Arial", songti,
                                          "Arial",  yahei,   "Arial", "Arial", yahei};
    const char* classicSizes[10] = {"-13", "-12", "14",  "-12", "14",
                                    "-12", "-18", "-12", "-12", "-22"};
    const char* hdSizes[10] = {"-12", "-10", "-14", "-12", "-12",
                               "-12", "-14", "-12", "-10", "-16"};
    std::map<std::string, std::string, std::less<>> values;
    for (int slot = 1; slot <= 10; ++slot) {
        const std::string n = std::to_string(slot);
        values["FONTNAME" + n] = classic ? classicFaces[slot - 1] : slot == 3 ? songti : yahei;
        values["FONTSIZE" + n] = classic ? classicSizes[slot - 1] : hdSizes[slot - 1];
        values["FontWeigth" + n] = "400";
    }
    return values;
}

std::wstring TwoDigits(int value) {
    return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

constexpr ULONGLONG kMinuteTicks = 60ull * 10000000ull;

ULONGLONG ToTicks(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME FromTicks(ULONGLONG ticks) {
    const FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time{};
    FileTimeToSystemTime(&file, &time);
    return time;
}

bool IsLeftoverName(std::wstring name) {
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name == L"tessalyfontswitch.exe" || name == L"stand_in_host.exe" ||
           name.find(L"tdxw") != name.npos || name.find(L"通达信") != name.npos;
}

} // namespace

// ---- Waiting

testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& done,
                                   DWORD timeoutMs, DWORD watched) {
    if (PollUntil(done, timeoutMs))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "timed out after " << timeoutMs << " ms waiting for "
                                       << what << (watched ? DescribeOpenBoxes(watched) : "");
}

// ---- Host installations

Installation LayOut(const std::wstring& base, const InstallationPlan& plan) {
    Installation at;
    at.root = base + L"\\" + plan.rootName;
    switch (plan.layout) {
    case Layout::Root:
        at.toolDir = at.root;
        break;
    case Layout::Vantiro:
        at.toolDir = at.root + L"\\Vantiro";
        break;
    case Layout::DeepVantiro:
        at.toolDir = at.root + L"\\Vantiro\\a\\b";
        break;
    }
    at.toolExe = at.toolDir + L"\\TessalyFontSwitch.exe";
    at.userIni = at.root + L"\\T0002\\user.ini";
    at.hostExe = at.root + L"\\tdxw.exe";
    MakeDirs(at.root + L"\\T0002");
    MakeDirs(at.toolDir);
    if (plan.userIni)
        WriteBytes(at.userIni, *plan.userIni);
    if (plan.withHost) {
        EXPECT_TRUE(PlaceHelper(L"stand_in_host", at.hostExe)) << "placing the stand-in host";
    }
    EXPECT_TRUE(PlaceHelper(L"TessalyFontSwitch", at.toolExe))
        << "copying the tool to " << Narrow(at.toolExe);
    if (plan.withDecoys) {
        MakeDirs(base + L"\\T0002");
        WriteBytes(base + L"\\T0002\\user.ini", "[SCREEN]\r\nFONTNAME1=Decoy\r\n");
        EXPECT_TRUE(PlaceHelper(L"stand_in_host", base + L"\\tdxw.exe"))
            << "placing the decoy host";
    }
    return at;
}

std::optional<HostRun> ReadHostRun(const std::wstring& hostExe) {
    const std::wstring record = hostExe + L".ran";
    if (!PathExists(record))
        return std::nullopt;
    const std::string text = ReadBytes(record);
    const size_t first = text.find('\n');
    const size_t second = first == text.npos ? text.npos : text.find('\n', first + 1);
    if (second == text.npos)
        return std::nullopt;
    return HostRun{Widen(text.substr(0, first)), Widen(text.substr(first + 1, second - first - 1))};
}

std::map<std::wstring, FileState> SnapshotTree(const std::wstring& folder) {
    std::map<std::wstring, FileState> files;
    SnapshotInto(folder, L"", files);
    return files;
}

std::string DescribeChanges(const std::map<std::wstring, FileState>& before,
                            const std::map<std::wstring, FileState>& after) {
    std::string changes;
    for (const auto& [path, state] : before) {
        auto now = after.find(path);
        if (now == after.end())
            changes += "\n  removed " + Narrow(path);
        else if (!(now->second == state))
            changes += "\n  changed " + Narrow(path);
    }
    for (const auto& [path, state] : after)
        if (!before.count(path))
            changes += "\n  added " + Narrow(path);
    return changes;
}

// ---- user.ini contents

std::string Gbk(std::wstring_view text) {
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()),
                                     bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     nullptr));
    return bytes;
}

std::string RealisticUserIni() {
    std::string ini;
    auto line = [&ini](std::string_view text) { ini.append(text).append("\r\n"); };
    line("[Version]");
    line("Version=7.65");
    line("Build=20231108");
    line("");
    line("[USER]");
    line("LastUser=" + Gbk(L"张三"));
    line("Broker=" + Gbk(L"中信证券"));
    line("; " + Gbk(L"以下为屏幕字体设置"));
    line("[SCREEN]");
    line(";FONTNAME1=Arial");
    line("  #FONTSIZE2=9");
    line("FONTNAME1=Fixedsys");
    line("  FONTSIZE1 = -15 ; old");
    line("FontWeigth1=700");
    line("FONTNAME2\t=\t" + Gbk(L"宋体"));
    line("FONTSIZE2=-12");
    line("FontWeigth2=400");
    line("FONTNAME3=" + Gbk(L"宋体"));
    line("FONTSIZE3=12");
    line("FontWeigth3=400");
    line("FONTNAME4");
    line("   ");
    for (int slot = 4; slot <= 10; ++slot) {
        const std::string n = std::to_string(slot);
        line("FONTNAME" + n + "=" + Gbk(slot % 2 ? L"黑体" : L"楷体"));
        line("FONTSIZE" + n + "=-" + std::to_string(10 + slot));
        line("FontWeigth" + n + "=" + (slot == 7 ? "700" : "400"));
    }
    line("fontname3=lower case stays");
    line("FontWeight1=not the host's spelling");
    line("");
    line("[OTHER]");
    line("FONTNAME2=Courier New");
    line("GridColor=" + Gbk(L"红色"));
    line("[Window]");
    line("Left=0");
    line("Top=0");
    return ini;
}

std::string ExpectedAfterSwitch(std::string_view content, bool classic) {
    auto pending = SchemeValues(classic);
    std::string expected;
    for (size_t start = 0; start < content.size();) {
        const size_t newline = content.find('\n', start);
        const size_t end = newline == content.npos ? content.size() : newline + 1;
        const std::string_view line = content.substr(start, end - start);
        const std::optional<std::string_view> key = KeyOfLine(line);
        auto entry = key ? pending.find(*key) : pending.end();
        if (entry != pending.end()) {
            expected += entry->first + "=" + entry->second + "\n";
            pending.erase(entry);
        } else {
            expected += line;
        }
        start = end;
    }
    return expected;
}

// ---- Backups

SYSTEMTIME MinutesLater(const SYSTEMTIME& time, int minutes) {
    return FromTicks(ToTicks(time) + kMinuteTicks * minutes);
}

std::vector<std::wstring> BackupNamesBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    std::vector<std::wstring> names;
    const ULONGLONG last = ToTicks(to) / kMinuteTicks;
    for (ULONGLONG minute = ToTicks(from) / kMinuteTicks; minute <= last; ++minute) {
        const SYSTEMTIME time = FromTicks(minute * kMinuteTicks);
        names.push_back(L"user." + std::to_wstring(time.wMonth) + L"-" + TwoDigits(time.wDay) +
                        L"_" + TwoDigits(time.wHour) + TwoDigits(time.wMinute) + L"备份.ini");
    }
    return names;
}

// ---- The tool through the window system

HWND FindToolWindow(DWORD processId) {
    std::vector<HWND> windows = FindVisibleWindows(processId, kToolClass);
    return windows.empty() ? nullptr : windows.front();
}

testing::AssertionResult StartTool(const Installation& installation, RunningTool& tool) {
    return StartTool(installation.toolExe, installation.toolDir, tool);
}

testing::AssertionResult StartTool(const std::wstring& exe, const std::wstring& currentDir,
                                   RunningTool& tool) {
    std::optional<ChildProcess> child = StartProcess(exe, L"", currentDir);
    if (!child)
        return testing::AssertionFailure() << "cannot start " << Narrow(exe);
    tool.process = std::move(*child);
    std::optional<DWORD> ended;
    testing::AssertionResult shown = WaitUntil(
        "the tool's visible window of class QorvelFontSwitcher",
        [&] {
            tool.window = FindToolWindow(tool.process.id);
            ended = WaitForExit(tool.process, 0);
            return tool.window || ended;
        },
        kWaitMs, tool.process.id);
    if (shown && !tool.window)
        return testing::AssertionFailure()
               << "the tool ended with exit code " << *ended << " before showing its window";
    // Shown is not finished: the window is scaled and laid out after ShowWindow.
    if (shown && WaitForInputIdle(tool.process.process.get(), kWaitMs) != 0)
        return testing::AssertionFailure()
               << "timed out after " << kWaitMs << " ms waiting for the tool to wait for input";
    return shown;
}

testing::AssertionResult ClickAndAnswer(const RunningTool& tool, int id, size_t count,
                                        std::vector<SeenBox>& boxes) {
    HWND button = GetDlgItem(tool.window, id);
    if (!button)
        return testing::AssertionFailure() << "the window has no control with id " << id;
    PostMessageW(button, BM_CLICK, 0, 0);
    for (size_t i = 1; i <= count; ++i) {
        HWND box = nullptr;
        testing::AssertionResult appeared =
            WaitUntil("message box " + std::to_string(i) + " of " + std::to_string(count) +
                          " after clicking button " + std::to_string(id),
                      [&] {
                          std::vector<HWND> open = FindMessageBoxes(tool.process.id);
                          box = open.empty() ? nullptr : open.front();
                          return box || WaitForExit(tool.process, 0);
                      });
        if (!appeared)
            return appeared;
        if (!box)
            return testing::AssertionFailure()
                   << "the tool ended before message box " << i << " of " << count;
        boxes.push_back(ReadMessageBox(box));
        PressOk(box);
        testing::AssertionResult closed =
            WaitUntil("message box \"" + Narrow(boxes.back().caption) + "\" to close after OK",
                      [&] { return !IsWindow(box) || !IsWindowVisible(box); });
        if (!closed)
            return closed;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult ExitsWith(const RunningTool& tool, DWORD expectedCode) {
    std::optional<DWORD> code;
    testing::AssertionResult ended = WaitUntil(
        "the tool's process to end",
        [&] { return (code = WaitForExit(tool.process, 0)).has_value(); }, kWaitMs,
        tool.process.id);
    if (!ended)
        return ended;
    if (*code != expectedCode)
        return testing::AssertionFailure()
               << "exit code " << *code << ", expected " << expectedCode;
    return testing::AssertionSuccess();
}

testing::AssertionResult StaysOpenQuietly(const RunningTool& tool, DWORD quietMs) {
    const ULONGLONG until = GetTickCount64() + quietMs;
    while (GetTickCount64() < until) {
        if (std::optional<DWORD> code = WaitForExit(tool.process, 0))
            return testing::AssertionFailure() << "the tool ended with exit code " << *code;
        if (!FindMessageBoxes(tool.process.id).empty())
            return testing::AssertionFailure()
                   << "an unexpected message box:" << DescribeOpenBoxes(tool.process.id);
        Sleep(20);
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult ClosesCleanly(const RunningTool& tool) {
    PostMessageW(tool.window, WM_CLOSE, 0, 0);
    return ExitsWith(tool, 0);
}

testing::AssertionResult IsBox(const SeenBox& box, std::wstring_view caption,
                               std::wstring_view text, UINT icon) {
    if (box.caption == caption && box.text == text && box.icon == icon)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "message box\n  caption \"" << Narrow(box.caption) << "\", text \""
           << Narrow(box.text) << "\", icon " << IconName(box.icon) << "\nexpected\n  caption \""
           << Narrow(caption) << "\", text \"" << Narrow(text) << "\", icon " << IconName(icon);
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

void PrintTo(const Placement& placement, std::ostream* out) {
    *out << "(" << placement.x << ", " << placement.y << ", " << placement.width << " x "
         << placement.height << ")";
}

Placement ChildPlacement(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return Placement{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Placement WindowPlacementOnScreen(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return Placement{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// ---- Clean slate

void EndLeftoverProcesses() {
    for (const ProcessEntry& entry : ListProcesses()) {
        if (entry.id == GetCurrentProcessId() || !IsLeftoverName(entry.exeName))
            continue;
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.id));
        if (!process)
            continue;
        TerminateProcess(process.get(), 99);
        WaitForSingleObject(process.get(), 5000);
    }
}

void ToolCase::SetUp() {
    EndLeftoverProcesses();
    SetRegistryDword(kPersonalizeKey, L"AppsUseLightTheme", 1);
}

void ToolCase::TearDown() {
    EndLeftoverProcesses();
    DeleteRegistryValuesUnder(kLayersKey, temp.path);
}

// ---- Shared steps and checks

testing::AssertionResult ClickAndAnswer(const RunningTool& tool, int id, size_t count,
                                        std::vector<SeenBox>& boxes, SwitchWindow& window) {
    GetLocalTime(&window.pressed);
    testing::AssertionResult answered = ClickAndAnswer(tool, id, count, boxes);
    GetLocalTime(&window.reported);
    return answered;
}

void ExpectSuccessfulSwitch(const Installation& installation, RunningTool& tool, bool classic,
                            SwitchWindow& window) {
    ASSERT_TRUE(StartTool(installation, tool));
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, classic ? kClassicButton : kHdButton, 1, boxes, window));
    EXPECT_TRUE(IsBox(boxes[0], L"成功！",
                      classic ? L"字体已更新为：\n【经典字体】" : L"字体已更新为：\n【高清字体】",
                      MB_ICONINFORMATION));
    EXPECT_TRUE(ExitsWith(tool, 0));
    ASSERT_TRUE(HostRan(installation.hostExe, kWaitMs)) << "the host was not started";
    std::optional<HostRun> run = ReadHostRun(installation.hostExe);
    ASSERT_TRUE(run);
    EXPECT_EQ(CSTR_EQUAL, CompareStringOrdinal(run->exePath.c_str(), -1,
                                               installation.hostExe.c_str(), -1, TRUE))
        << "the host ran as " << Narrow(run->exePath);
    EXPECT_EQ(Narrow(installation.toolDir), Narrow(run->currentDir))
        << "the host's current directory";
}

void ExpectOneBackup(const Installation& installation, const std::string& original,
                     const SwitchWindow& window) {
    const std::wstring folder = installation.root + L"\\T0002";
    std::vector<std::wstring> names = ListFiles(folder);
    ASSERT_EQ(2u, names.size()) << "files in T0002";
    const std::wstring backup = names[0] == L"user.ini" ? names[1] : names[0];
    std::vector<std::wstring> expected = BackupNamesBetween(window.pressed, window.reported);
    EXPECT_NE(expected.end(), std::find(expected.begin(), expected.end(), backup))
        << "backup name " << Narrow(backup) << ", expected " << Narrow(expected.front());
    EXPECT_TRUE(SameBytes(original, ReadBytes(folder + L"\\" + backup))) << "the backup";
}

bool HostRan(const std::wstring& hostExe, DWORD waitMs) {
    return WaitUntil(
        "the host's record", [&] { return ReadHostRun(hostExe).has_value(); }, waitMs);
}
