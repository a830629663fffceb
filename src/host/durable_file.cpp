#include "host/durable_file.h"

#include <algorithm>

namespace {

constexpr ULONGLONG kHoldRetryMs = 2000;
constexpr DWORD kRetryPauseMs = 50;

bool IsHeldError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

} // namespace

std::wstring WorkFilePath(const std::wstring& path, WorkFile work) {
    return path + (work == WorkFile::NewContent ? L".fontswitch-new" : L".fontswitch-copy");
}

bool RetryWhileHeld(const std::function<bool()>& attempt) {
    const ULONGLONG deadline = GetTickCount64() + kHoldRetryMs;
    while (!attempt()) {
        if (!IsHeldError(GetLastError()) || GetTickCount64() >= deadline)
            return false;
        Sleep(kRetryPauseMs);
    }
    return true;
}

UniqueHandle OpenForReading(const std::wstring& path) {
    return AdoptHandle(CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

UniqueHandle CreateForWriting(const std::wstring& path, DWORD disposition, DWORD attributes) {
    UniqueHandle file;
    RetryWhileHeld([&] {
        file = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       disposition, attributes, nullptr));
        return file != nullptr;
    });
    return file;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool RenameDurably(const std::wstring& from, const std::wstring& to, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return RetryWhileHeld([&] { return MoveFileExW(from.c_str(), to.c_str(), flags) != FALSE; });
}
