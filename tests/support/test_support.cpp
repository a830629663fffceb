#include "test_support.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iomanip>
#include <sstream>
#include <thread>

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static std::atomic<unsigned> counter{0};
    path = std::wstring(base) + L"fontswitch-test-" + std::to_wstring(GetCurrentProcessId()) +
           L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    MakeDirs(path);
}

TempDir::~TempDir() {
    RemoveTree(path);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE found = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (found != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(found, &entry));
        FindClose(found);
    }
    RemoveDirectoryW(path.c_str());
}

void MakeDirs(const std::wstring& path) {
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    UniqueHandle file = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadBytes(const std::wstring& path) {
    UniqueHandle file =
        AdoptHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual) {
    if (expected == actual)
        return testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    auto hex = [at](std::string_view bytes) {
        std::ostringstream out;
        const size_t from = at >= 16 ? at - 16 : 0;
        for (size_t i = from; i < bytes.size() && i < at + 16; ++i)
            out << (i == at ? "[" : "") << std::hex << std::setw(2) << std::setfill('0')
                << (static_cast<unsigned>(bytes[i]) & 0xFF) << (i == at ? "]" : "") << ' ';
        return out.str();
    };
    return testing::AssertionFailure()
           << "bytes differ: expected " << expected.size() << " bytes, got " << actual.size()
           << "; first difference at offset " << at << "\n  expected: " << hex(expected)
           << "\n  actual:   " << hex(actual);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE found = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    } while (FindNextFileW(found, &entry));
    FindClose(found);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ExeDir() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\'));
}

std::string Narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::optional<ChildProcess> StartProcess(const std::wstring& exe, const std::wstring& arguments,
                                         const std::wstring& workingDir) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info))
        return std::nullopt;
    CloseHandle(info.hThread);
    return ChildProcess{UniqueHandle(info.hProcess), info.dwProcessId};
}

std::optional<DWORD> WaitForExit(const ChildProcess& child, DWORD timeoutMs) {
    if (WaitForSingleObject(child.process.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    return code;
}

bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

std::optional<std::string> WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    if (!PollUntil([&] { return PathExists(path); }, timeoutMs))
        return std::nullopt;
    return ReadBytes(path);
}

bool PlaceHelper(const std::wstring& helper, const std::wstring& target) {
    return CopyFileW((ExeDir() + L"\\" + helper + L".exe").c_str(), target.c_str(), FALSE) != 0;
}

std::vector<HWND> FindVisibleWindows(DWORD processId, std::wstring_view className) {
    struct Search {
        DWORD processId;
        std::wstring_view className;
        std::vector<HWND> windows;
    } search{processId, className, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[256] = {};
            GetClassNameW(window, name, 256);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window) && s->className == name)
                s->windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

std::vector<HWND> FindMessageBoxes(DWORD processId) {
    return FindVisibleWindows(processId, L"#32770");
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> processes;
    UniqueHandle snapshot = AdoptHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        processes.push_back({entry.th32ProcessID, entry.szExeFile});
    return processes;
}

namespace {

// A 32-bit top-down bitmap selected into a memory device context.
struct MemoryBitmap {
    MemoryBitmap(int width, int height) : pixelCount(static_cast<size_t>(width) * height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, bitmap);
    }
    ~MemoryBitmap() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    // The pixels as RGB values (the bitmap holds them as 0xAARRGGBB).
    std::vector<COLORREF> Colors() const {
        GdiFlush();
        std::vector<COLORREF> colors(pixelCount);
        if (!bits)
            return colors;
        const auto* pixel = static_cast<const DWORD*>(bits);
        for (size_t i = 0; i < pixelCount; ++i)
            colors[i] = RGB((pixel[i] >> 16) & 0xFF, (pixel[i] >> 8) & 0xFF, pixel[i] & 0xFF);
        return colors;
    }

    size_t pixelCount;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
};

// Compares the box's icon with the system icons by their pixels. GetIconInfo works for an
// icon of this process; an icon of another process (wine keeps icons per process) is compared
// as the screen shows it with each system icon drawn on the same background.
std::vector<unsigned char> IconPixels(HICON icon) {
    std::vector<unsigned char> pixels;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return pixels;
    BITMAP bitmap{};
    HBITMAP color = info.hbmColor ? info.hbmColor : info.hbmMask;
    GetObjectW(color, sizeof bitmap, &bitmap);
    pixels.resize(static_cast<size_t>(bitmap.bmWidthBytes) * bitmap.bmHeight);
    GetBitmapBits(color, static_cast<LONG>(pixels.size()), pixels.data());
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return pixels;
}

const std::pair<LPCWSTR, UINT> kSystemIcons[] = {{IDI_ERROR, MB_ICONERROR},
                                                 {IDI_WARNING, MB_ICONWARNING},
                                                 {IDI_INFORMATION, MB_ICONINFORMATION},
                                                 {IDI_QUESTION, MB_ICONQUESTION}};

UINT IdentifyOwnIcon(HICON icon) {
    std::vector<unsigned char> pixels = IconPixels(icon);
    if (pixels.empty())
        return 0;
    for (const auto& [id, flag] : kSystemIcons)
        if (IconPixels(LoadIconW(nullptr, id)) == pixels)
            return flag;
    return 0;
}

std::vector<COLORREF> DrawIconOn(LPCWSTR id, COLORREF background, int width, int height) {
    MemoryBitmap image(width, height);
    UniqueBrush brush(CreateSolidBrush(background));
    RECT all{0, 0, width, height};
    FillRect(image.dc, &all, brush.get());
    DrawIconEx(image.dc, 0, 0, LoadIconW(nullptr, id), 0, 0, 0, nullptr, DI_NORMAL);
    return image.Colors();
}

bool LooksAlike(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    if (a.size() != b.size() || a.empty())
        return false;
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        auto apart = [](int x, int y) { return x - y > 8 || y - x > 8; };
        if (apart(GetRValue(a[i]), GetRValue(b[i])) || apart(GetGValue(a[i]), GetGValue(b[i])) ||
            apart(GetBValue(a[i]), GetBValue(b[i])))
            ++differing;
    }
    return differing * 50 <= a.size(); // at most 2 % of the pixels
}

UINT IdentifyIconOnScreen(HWND iconControl) {
    RECT area{};
    GetWindowRect(iconControl, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    // The box may not have been painted yet: look again for up to two seconds.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<COLORREF> shown = CaptureScreen(area);
        if (!shown.empty())
            for (const auto& [id, flag] : kSystemIcons)
                if (LooksAlike(shown, DrawIconOn(id, shown.front(), width, height)))
                    return flag;
        Sleep(20);
    }
    return 0;
}

} // namespace

SeenBox ReadMessageBox(HWND box) {
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, 0xFFFF));
    // The icon's static control: id 20 on Windows, 0x440 in wine.
    HWND iconControl = GetDlgItem(box, 0x14);
    if (!iconControl)
        iconControl = GetDlgItem(box, 0x440);
    if (!iconControl)
        return seen;
    seen.icon =
        IdentifyOwnIcon(reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0)));
    if (!seen.icon)
        seen.icon = IdentifyIconOnScreen(iconControl);
    return seen;
}

void PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

std::vector<COLORREF> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return {};
    MemoryBitmap image(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(image.dc, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return image.Colors();
}

namespace {

// Reads and answers every box the process has open, each awaited up to 5 s to close.
void AnswerOpenBoxes(DWORD processId, std::vector<SeenBox>& seen) {
    for (HWND box : FindMessageBoxes(processId)) {
        seen.push_back(ReadMessageBox(box));
        PressOk(box);
        for (int i = 0; i < 500 && IsWindow(box); ++i)
            Sleep(10);
    }
}

} // namespace

std::vector<SeenBox> CollectMessageBoxes(const std::function<void()>& action) {
    std::vector<SeenBox> seen;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            AnswerOpenBoxes(GetCurrentProcessId(), seen);
            Sleep(10);
        }
    });
    action();
    done = true;
    watcher.join();
    return seen;
}

ChildRun RunDismissingBoxes(const std::wstring& exe, const std::wstring& arguments,
                            const std::wstring& workingDir, DWORD timeoutMs) {
    ChildRun run;
    std::optional<ChildProcess> child = StartProcess(exe, arguments, workingDir);
    if (!child)
        return run;
    run.started = true;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!run.exitCode && GetTickCount64() < deadline) {
        AnswerOpenBoxes(child->id, run.boxes);
        run.exitCode = WaitForExit(*child, 20);
    }
    if (!run.exitCode) {
        TerminateProcess(child->process.get(), 99);
        WaitForExit(*child, 5000);
    }
    return run;
}

std::string DescribeBoxes(const std::vector<SeenBox>& boxes) {
    std::string described;
    for (const SeenBox& box : boxes)
        described.append("[")
            .append(Narrow(box.caption))
            .append(" | ")
            .append(Narrow(box.text))
            .append(" | icon ")
            .append(std::to_string(box.icon))
            .append("] ");
    return described.empty() ? "no boxes" : described;
}

void ExpectOnlyBox(const std::vector<SeenBox>& boxes, std::wstring_view caption,
                   std::wstring_view text, UINT icon) {
    ASSERT_EQ(1u, boxes.size()) << DescribeBoxes(boxes);
    EXPECT_EQ(Narrow(caption), Narrow(boxes[0].caption));
    EXPECT_EQ(Narrow(text), Narrow(boxes[0].text));
    EXPECT_EQ(icon, boxes[0].icon);
}

// ---- Registry values

std::map<std::wstring, RegistryValue> ReadRegistryValues(const wchar_t* key) {
    std::map<std::wstring, RegistryValue> values;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return values;
    UniqueRegKey owner(opened);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(opened, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        RegistryValue value{type, std::string(size, '\0')};
        RegQueryValueExW(opened, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data.data()),
                         &size);
        value.data.resize(size);
        values[std::wstring(name, nameLength)] = value;
    }
    return values;
}

void SetRegistryValue(const wchar_t* key, const std::wstring& name, DWORD type, const void* data,
                      DWORD size) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &opened, nullptr))
        << "opening HKCU\\" << Narrow(key);
    UniqueRegKey owner(opened);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size))
        << "setting " << Narrow(name);
}

void SetRegistryString(const wchar_t* key, const std::wstring& name, const std::wstring& text) {
    SetRegistryValue(key, name, REG_SZ, text.c_str(),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetRegistryDword(const wchar_t* key, const std::wstring& name, DWORD value) {
    SetRegistryValue(key, name, REG_DWORD, &value, sizeof value);
}

void DeleteRegistryValue(const wchar_t* key, const std::wstring& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
        return;
    UniqueRegKey owner(opened);
    RegDeleteValueW(opened, name.c_str());
}

void DeleteRegistryValuesUnder(const wchar_t* key, const std::wstring& prefix) {
    for (const auto& [name, value] : ReadRegistryValues(key))
        if (name.compare(0, prefix.size(), prefix) == 0)
            DeleteRegistryValue(key, name);
}

RegistryValue StringValue(const std::wstring& text) {
    const char* bytes = reinterpret_cast<const char*>(text.c_str());
    return RegistryValue{REG_SZ, std::string(bytes, (text.size() + 1) * sizeof(wchar_t))};
}
