#pragma once
// Placed copies of the helper programs (stand_in_host, host_probe): placing them, running them
// while reading and dismissing their message boxes, and awaiting the files they leave.

#include "test_support.h"

#include <optional>
#include <string>
#include <vector>

struct ChildRun {
    bool started = false;
    std::optional<DWORD> exitCode; // nullopt: still running at the time-out, then ended by us
    std::vector<SeenBox> boxes;    // in the order they appeared, each dismissed with OK
};

// Copies bin\<helper>.exe to `target`.
inline bool PlaceHelper(const std::wstring& helper, const std::wstring& target) {
    return CopyFileW((ExeDir() + L"\\" + helper + L".exe").c_str(), target.c_str(), FALSE) != 0;
}

// Runs `exe` to its end, pressing OK on each message box it shows; a child still running after
// `timeoutMs` is terminated, so no box is ever left waiting.
inline ChildRun RunDismissingBoxes(const std::wstring& exe, const std::wstring& arguments,
                                   const std::wstring& workingDir, DWORD timeoutMs = 20000) {
    ChildRun run;
    std::optional<ChildProcess> child = StartProcess(exe, arguments, workingDir);
    if (!child)
        return run;
    run.started = true;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!run.exitCode && GetTickCount64() < deadline) {
        for (HWND box : FindMessageBoxes(child->id)) {
            run.boxes.push_back(ReadMessageBox(box));
            PressOk(box);
            for (int i = 0; i < 500 && IsWindow(box); ++i)
                Sleep(10);
        }
        run.exitCode = WaitForExit(*child, 20);
    }
    if (!run.exitCode) {
        TerminateProcess(child->process.get(), 99);
        WaitForExit(*child, 5000);
    }
    return run;
}

// The file's bytes once it exists, or nullopt when it has not appeared within `timeoutMs`.
inline std::optional<std::string> WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!PathExists(path)) {
        if (GetTickCount64() >= deadline)
            return std::nullopt;
        Sleep(20);
    }
    return ReadBytes(path);
}

// "caption | text | icon" of each box, for messages of failed expectations.
inline std::string DescribeBoxes(const std::vector<SeenBox>& boxes) {
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
