// For scripts/run.sh's unattended run: in the running tool's window, presses "高清字体" once
// window.png exists in the current folder, then OK in the box that answers once box.png exists;
// prints the box as "caption: text".
#include "windows_and_boxes.h"

#include <cstdio>

int main() {
    HWND window = WaitForWindow(0, kToolWindowClass, 20000);
    if (!window || !Poll([] { return fs::exists(L"window.png"); }, 30000))
        return 1;
    PostMessageW(GetDlgItem(window, 2), BM_CLICK, 0, 0);
    if (!WaitForWindow(0, L"#32770", 20000) || !Poll([] { return fs::exists(L"box.png"); }, 30000))
        return 1;
    std::printf("%s\n", TakeBox(0, 0).c_str());
    return 0;
}
