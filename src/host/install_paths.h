#pragma once
// Where the host lies relative to the tool: the base path, the candidates, opening user.ini,
// and starting the host.

#include "scoped.h"

#include <optional>
#include <string>
#include <string_view>

// The host root (folder layout) or the tool's own full path (root layout).
std::wstring GetBasePath();

// The base path for a given executable path: everything before the last "\Vantiro", or the
// whole path when it does not occur.
std::wstring BasePathFromModulePath(std::wstring_view modulePath);

// Whether the wide path names a file that can be opened for reading (false for directories).
bool FileExists(const std::wstring& path);

struct OpenedUserIni {
    std::wstring path; // the candidate that opened, exactly as formed
    UniqueHandle file; // opened to read (OpenForReading)
};

// Opens base + "\T0002\user.ini", else base + "\..\T0002\user.ini". Shows "路径错误" when
// neither opens.
std::optional<OpenedUserIni> LocateUserIni(const std::wstring& base);

// The first user.ini candidate that exists as a file, whether or not it can be read; shows
// nothing.
std::optional<std::wstring> FindUserIni(const std::wstring& base);

// The tdxw.exe candidate the launch starts: the first that exists, as formed.
std::optional<std::wstring> FindHostExe(const std::wstring& base);

// The host executable's full path as Windows matches it when the host starts: the candidate
// the launch would start, "\.." resolved and in long form; when none exists, the tdxw.exe of the
// host root.
std::wstring HostExeFullPath(const std::wstring& base);

// Starts the program with its own folder as the working folder and ends the process with exit
// code 0; returns after its message when the start fails.
void RunProgramAndExit(const std::wstring& program);

// Finds and starts tdxw.exe; returns only when the host was not started, after a message.
void LaunchHost();
