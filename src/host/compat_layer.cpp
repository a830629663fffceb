#include "host/compat_layer.h"

#include "host/host_process.h"
#include "host/install_paths.h"
#include "message_box.h"
#include "scoped.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::wstring_view kDpiOverrideNames[] = {L"highdpiaware", L"dpiunaware",
                                                   L"gdidpiscaling"};

constexpr wchar_t kBetweenNames[] = L" \t";

// Windows' flags: "~" and "^" mark the layers, "#" and "!" are written as a first word too.
bool IsMarker(std::wstring_view word) {
    return word.find_first_not_of(L"~^#!") == std::wstring_view::npos;
}

bool IsDpiOverride(std::wstring_view word) {
    const std::wstring lowered = ToLower(std::wstring(word));
    return std::find(std::begin(kDpiOverrideNames), std::end(kDpiOverrideNames), lowered) !=
           std::end(kDpiOverrideNames);
}

// The words of the text, without the spaces and tabs between them.
std::vector<std::wstring_view> Words(std::wstring_view text) {
    std::vector<std::wstring_view> words;
    for (size_t start = text.find_first_not_of(kBetweenNames); start != std::wstring_view::npos;) {
        const size_t end = std::min(text.find_first_of(kBetweenNames, start), text.size());
        words.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(kBetweenNames, end);
    }
    return words;
}

// Reads the host's value through a key opened only to read: its text up to its first zero, ""
// when it is not a REG_SZ. ERROR_FILE_NOT_FOUND when there is no key or no value; another error
// when it cannot be read (security software may refuse that too), so that it is kept.
LSTATUS ReadLayers(const std::wstring& name, std::wstring& text) {
    HKEY opened = nullptr;
    const LSTATUS open = RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_QUERY_VALUE, &opened);
    if (open != ERROR_SUCCESS)
        return open;
    const UniqueRegKey key(opened);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) { // again if the value grew between the calls
        text.resize(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &size);
    }
    // Stored with or without its terminating zero, or with an odd byte.
    text.resize(status == ERROR_SUCCESS && type == REG_SZ ? size / sizeof(wchar_t) : 0);
    text.resize(std::min(text.find(L'\0'), text.size()));
    return status;
}

bool IsReadable(LSTATUS read) {
    return read == ERROR_SUCCESS || read == ERROR_FILE_NOT_FOUND;
}

// The host's value: its name, how reading it went, and what the scheme makes of it.
struct LayersChange {
    std::wstring name;
    LSTATUS read;
    std::optional<std::wstring> after; // nothing: no value
    bool changes;
};

LayersChange PlanLayers(SchemeKind classic) {
    LayersChange plan{HostExeFullPath(GetBasePath()), ERROR_SUCCESS, std::nullopt, false};
    std::wstring before;
    plan.read = ReadLayers(plan.name, before);
    plan.after = MergedLayers(before, classic);
    plan.changes = IsReadable(plan.read) &&
                   (plan.read == ERROR_SUCCESS ? plan.after != before : plan.after.has_value());
    return plan;
}

void ShowRegistryError() {
    ShowBox(L"更新注册表失败", L"错误", MB_OK | MB_ICONERROR);
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

bool IsLayerChangePending(SchemeKind classic) {
    return PlanLayers(classic).changes;
}

void UpdateRegistry(SchemeKind classic) {
    const LayersChange plan = PlanLayers(classic);
    if (!IsReadable(plan.read)) {
        ShowRegistryError();
        return;
    }
    // Nothing to change: the key is not opened for writing, nothing for security software to ask.
    if (!plan.changes)
        return;
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &opened, nullptr) != ERROR_SUCCESS) {
        ShowRegistryError();
        return;
    }
    const UniqueRegKey key(opened);
    const std::optional<std::wstring>& layers = plan.after;
    // A REG_SZ with its terminating zero; a value gone meanwhile needs no deleting.
    const LSTATUS status =
        layers ? RegSetValueExW(key.get(), plan.name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(layers->c_str()),
                                static_cast<DWORD>((layers->size() + 1) * sizeof(wchar_t)))
               : RegDeleteValueW(key.get(), plan.name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ShowRegistryError();
}
