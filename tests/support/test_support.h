#pragma once
// Helpers shared by the test programs: temporary folders, file bytes, child processes,
// message boxes and registry values, all on the real platform.

#include "scoped.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A fresh empty folder under %TEMP%, removed with its contents at the end of the scope.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::wstring path;
};

void RemoveTree(const std::wstring& path);
void MakeDirs(const std::wstring& path);
void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
// Byte-for-byte equality; a failure gives both sizes and the bytes around the first difference.
testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual);
bool PathExists(const std::wstring& path);
std::vector<std::wstring> ListFiles(const std::wstring& folder); // file names, sorted

// Folder of the running test executable (helper programs are built beside it).
std::wstring ExeDir();

// UTF-8 for messages of failed expectations.
std::string Narrow(std::wstring_view text);

struct ChildProcess {
    UniqueHandle process;
    DWORD id = 0;
};
// Starts `exe` with `arguments` in `workingDir`; nullopt when it cannot be started.
std::optional<ChildProcess> StartProcess(const std::wstring& exe, const std::wstring& arguments,
                                         const std::wstring& workingDir);
// The exit code, or nullopt when the process did not end within `timeoutMs`.
std::optional<DWORD> WaitForExit(const ChildProcess& child, DWORD timeoutMs);

// Polls `done` every 20 ms; false when it still does not hold after `timeoutMs`.
bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The file's bytes once it exists, or nullopt when it has not appeared within `timeoutMs`.
std::optional<std::string> WaitForFile(const std::wstring& path, DWORD timeoutMs);

// Copies bin\<helper>.exe (a helper program or the tool, built beside the tests) to `target`.
bool PlaceHelper(const std::wstring& helper, const std::wstring& target);

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    UINT icon = 0; // MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, or 0 when unknown
};

// Visible top-level windows of a class that a process owns.
std::vector<HWND> FindVisibleWindows(DWORD processId, std::wstring_view className);
// Visible message boxes (class #32770) of a process.
std::vector<HWND> FindMessageBoxes(DWORD processId);
std::wstring WindowText(HWND window);
// The icon of a box of another process is read from the screen, which needs the calling
// process to be DPI-aware when the system DPI is not 96.
SeenBox ReadMessageBox(HWND box);
void PressOk(HWND box);

struct ProcessEntry {
    DWORD id = 0;
    std::wstring exeName; // file name only
};
// Every process the system lists; empty when the list cannot be read.
std::vector<ProcessEntry> ListProcesses();

// The screen's pixels in `area` (screen coordinates), row by row, as RGB values.
std::vector<COLORREF> CaptureScreen(const RECT& area);

// Runs `action` on this thread while a watcher thread records every message box this process
// shows and presses its OK button. Returns the boxes in the order they appeared.
std::vector<SeenBox> CollectMessageBoxes(const std::function<void()>& action);

struct ChildRun {
    bool started = false;
    std::optional<DWORD> exitCode; // nullopt: still running at the time-out, then ended by us
    std::vector<SeenBox> boxes;    // in the order they appeared, each dismissed with OK
};

// Runs `exe` to its end, pressing OK on each message box it shows; a child still running after
// `timeoutMs` is terminated, so no box is ever left waiting.
ChildRun RunDismissingBoxes(const std::wstring& exe, const std::wstring& arguments,
                            const std::wstring& workingDir, DWORD timeoutMs = 20000);

// "caption | text | icon" of each box, for messages of failed expectations.
std::string DescribeBoxes(const std::vector<SeenBox>& boxes);

// Exactly one box was shown, with this caption, text and icon.
void ExpectOnlyBox(const std::vector<SeenBox>& boxes, std::wstring_view caption,
                   std::wstring_view text, UINT icon);

// ---- Registry values (HKEY_CURRENT_USER)

struct RegistryValue {
    DWORD type = 0;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};
// Every value of the key by name; empty when the key cannot be opened.
std::map<std::wstring, RegistryValue> ReadRegistryValues(const wchar_t* key);
// Creates the key when needed and sets the value; a failure fails the test.
void SetRegistryValue(const wchar_t* key, const std::wstring& name, DWORD type, const void* data,
                      DWORD size);
void SetRegistryString(const wchar_t* key, const std::wstring& name, const std::wstring& text);
void SetRegistryDword(const wchar_t* key, const std::wstring& name, DWORD value);
void DeleteRegistryValue(const wchar_t* key, const std::wstring& name);
// Removes the values whose names start with `prefix`.
void DeleteRegistryValuesUnder(const wchar_t* key, const std::wstring& prefix);
// REG_SZ data as RegSetValueExW stores it: the text and its terminating zero.
RegistryValue StringValue(const std::wstring& text);
