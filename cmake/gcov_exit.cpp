// Coverage build only: ExitProcess skips the C runtime's exit handlers, where gcov writes its
// counts, so the wrapped import writes them first. Linked with -Wl,--wrap=__imp_ExitProcess.
#include <windows.h>

using ExitProcessFunction = void(WINAPI*)(UINT);

extern "C" {
void __gcov_dump();
extern ExitProcessFunction __real___imp_ExitProcess;

static void WINAPI DumpCountsAndExit(UINT code) {
    __gcov_dump();
    __real___imp_ExitProcess(code);
}

ExitProcessFunction __wrap___imp_ExitProcess = DumpCountsAndExit;
}
