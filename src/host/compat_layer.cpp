#include "host/compat_layer.h"

#include "host/host_process.h"
#include "host/install_paths.h"
#include "scoped.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::wstring_view kDpiOverrideNames[] = {L"highdpiaware", L"dpiunaware",
                                                   L"gdidpiscaling"};

bool IsMarker(std::wstring_view word) {
    return word.find_first_not_of(L"~^") == std::wstring_view::npos;
}

bool IsDpiOverride(std::wstring_view word) {
    const std::wstring lowered = ToLower(std::wstring(word));
    return std::find(std::begin(kDpiOverrideNames), std::end(kDpiOverrideNames), lowered) !=
           std::end(kDpiOverrideNames);
}

// The words of the text, without the spaces between them.
std::vector<std::wstring_view> Words(std::wstring_view text) {
    std::vector<std::wstring_view> words;
    for (size_t start = text.find_first_not_of(L' '); start != std::wstring_view::npos;) {
        const size_t end = std::min(text.find(L' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(L' ', end);
    }
    return words;
}

// The value's text up to its first zero; "" when it is missing or not a REG_SZ; nothing when it
// is there but cannot be read (security software may refuse that too), so that it is kept.
std::optional<std::wstring> LayersText(HKEY key, const std::wstring& name) {
    std::wstring text;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) { // again if the value grew between the calls
        text.resize(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &size);
    }
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_SZ))
        return L"";
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

void ShowRegistryError() {
    MessageBoxW(nullptr, L"更新注册表失败", L"错误", MB_OK | MB_ICONERROR);
}

} // namespace

std::optional<std::wstring> MergedLayers(std::wstring_view value, SchemeKind classic) {
    std::vector<std::wstring_view> words = Words(value);
    std::erase_if(words, IsDpiOverride);
    const bool marked = !words.empty() && IsMarker(words.front());
    const bool keepsLayers = words.size() > (marked ? 1u : 0u);
    if (classic && !keepsLayers)
        return std::nullopt;
    if (!classic) {
        if (words.empty()) // a new value, marked as Windows' tab marks its own
            words.push_back(L"~");
        words.push_back(L"GDIDPISCALING DPIUNAWARE");
    }
    std::wstring merged;
    for (const std::wstring_view word : words)
        merged.append(merged.empty() ? L"" : L" ").append(word);
    return merged;
}

void UpdateRegistry(SchemeKind classic) {
    const std::wstring valueName = HostExeFullPath(GetBasePath());
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        ShowRegistryError();
        return;
    }
    UniqueRegKey key(opened);
    const std::optional<std::wstring> before = LayersText(key.get(), valueName);
    if (!before) {
        ShowRegistryError();
        return;
    }
    const std::optional<std::wstring> layers = MergedLayers(*before, classic);
    if (layers == before) // nothing to change, nothing for security software to ask about
        return;
    // A REG_SZ with its terminating zero; a value already gone needs no deleting.
    const LSTATUS status =
        layers ? RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(layers->c_str()),
                                static_cast<DWORD>((layers->size() + 1) * sizeof(wchar_t)))
               : RegDeleteValueW(key.get(), valueName.c_str());
    key.reset();
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ShowRegistryError();
}
