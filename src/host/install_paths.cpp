#include "host/install_paths.h"

#include "host/durable_file.h"
#include "message_box.h"
#include "module_path.h"
#include "system_library.h"

#include <windows.h>

#include <array>

namespace {

constexpr wchar_t kFolderMarker[] = L"\\Vantiro";
constexpr wchar_t kParent[] = L"\\..";
constexpr wchar_t kUserIniSuffix[] = L"\\T0002\\user.ini";
constexpr wchar_t kHostExeSuffix[] = L"\\tdxw.exe";

// base + suffix, then base + "\.." + suffix: tried in this order.
std::array<std::wstring, 2> Candidates(const std::wstring& base, const wchar_t* suffix) {
    return {base + suffix, base + kParent + suffix};
}

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the path names a file (not a folder), readable or not.
bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where tdxw.exe belongs when no candidate exists: in the host root, which is the base itself
// when the base is a folder, and the folder of the tool when the base is the tool's own file.
std::wstring MissingHostExe(const std::wstring& base, bool baseIsFolder) {
    return baseIsFolder ? base + kHostExeSuffix : base + kParent + kHostExeSuffix;
}

// The path with "." and ".." components resolved; unchanged when it cannot be resolved.
std::wstring ResolvedPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    return full;
}

// The long form of an existing path (GetLongPathNameW), or nothing.
std::optional<std::wstring> LongForm(const std::wstring& path) {
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    std::wstring longPath(size, L'\0');
    const DWORD length = size ? GetLongPathNameW(path.c_str(), longPath.data(), size) : 0;
    if (length == 0 || length >= size)
        return std::nullopt;
    longPath.resize(length);
    return longPath;
}

// A full path in long form, as Windows names a program it starts: a short (8.3) name that the
// tool was started through is never looked up. A missing file keeps its name after the long form
// of its folder.
std::wstring LongPath(const std::wstring& path) {
    if (std::optional<std::wstring> found = LongForm(path))
        return *found;
    const size_t slash = path.rfind(L'\\');
    std::optional<std::wstring> folder =
        slash == std::wstring::npos ? std::nullopt : LongForm(path.substr(0, slash));
    return folder ? *folder + path.substr(slash) : path;
}

// The folder of a full path, with its last backslash ("C:\\" for a program at a drive's root).
std::wstring ProgramFolder(const std::wstring& fullPath) {
    return fullPath.substr(0, fullPath.rfind(L'\\') + 1);
}

} // namespace

std::wstring GetBasePath() {
    return BasePathFromModulePath(ModulePath());
}

std::wstring BasePathFromModulePath(std::wstring_view modulePath) {
    return std::wstring(modulePath.substr(0, modulePath.rfind(kFolderMarker)));
}

bool FileExists(const std::wstring& path) {
    return OpenForReading(path) != nullptr;
}

std::optional<OpenedUserIni> LocateUserIni(const std::wstring& base) {
    for (std::wstring& path : Candidates(base, kUserIniSuffix))
        if (UniqueHandle file = OpenForReading(path))
            return OpenedUserIni{std::move(path), std::move(file)};
    ShowBox(L"T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。", L"路径错误",
            MB_OK | MB_ICONERROR);
    return std::nullopt;
}

std::optional<std::wstring> FindUserIni(const std::wstring& base) {
    for (std::wstring& path : Candidates(base, kUserIniSuffix))
        if (IsFile(path))
            return std::move(path);
    return std::nullopt;
}

std::optional<std::wstring> FindHostExe(const std::wstring& base) {
    for (std::wstring& path : Candidates(base, kHostExeSuffix))
        if (FileExists(path))
            return std::move(path);
    return std::nullopt;
}

std::wstring HostExeFullPath(const std::wstring& base) {
    std::optional<std::wstring> found = FindHostExe(base);
    return LongPath(ResolvedPath(found ? *found : MissingHostExe(base, IsDirectory(base))));
}

void RunProgramAndExit(const std::wstring& program) {
    // shell32 is loaded only here: linked, it would cost every start about a megabyte.
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    const UniqueLibrary shell32 = LoadSystemLibrary(L"shell32.dll");
    const auto shellExecute = FindExport<ShellExecuteFunction>(shell32, "ShellExecuteW");
    // The program runs in its own folder, as its shortcut starts it, not in the tool's.
    const std::wstring folder = ProgramFolder(ResolvedPath(program));
    const HINSTANCE started = shellExecute ? shellExecute(nullptr, L"open", program.c_str(),
                                                          nullptr, folder.c_str(), SW_SHOWNORMAL)
                                           : nullptr;
    if (reinterpret_cast<UINT_PTR>(started) > 32)
        ExitProcess(0);
    ShowBox(L"无法启动目标程序。", L"错误", MB_OK | MB_ICONERROR);
}

void LaunchHost() {
    if (std::optional<std::wstring> host = FindHostExe(GetBasePath()))
        RunProgramAndExit(*host);
    else
        ShowBox(L"未找到 tdxw.exe。\n请检查程序目录。", L"错误", MB_OK | MB_ICONERROR);
}
