#pragma once
// Helpers shared by the test programs: temporary folders, file bytes, child processes and
// message boxes, all on the real platform.

#include "scoped.h"

#include <windows.h>

#include <functional>
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
