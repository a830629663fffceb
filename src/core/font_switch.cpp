#include "core/font_switch.h"

#include "core/user_ini.h"
#include "host/backup.h"
#include "host/compat_layer.h"
#include "host/host_process.h"
#include "host/install_paths.h"

#include <windows.h>

void WriteFontConfig(SchemeKind classic) {
    if (IsProcessMatching({L"tdxw", L"通达信"})) {
        MessageBoxW(nullptr, L"请退出所有通达信程序；\n再进行字体切换操作！", L"重要提示",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    std::optional<OpenedUserIni> userIni = LocateUserIni(GetBasePath());
    if (!userIni)
        return;
    // The input stays open during the backup; every failure below has shown its own message.
    if (!BackupFile(userIni->path))
        return;
    FontScheme scheme = MakeFontScheme(classic);
    const bool rewritten = RewriteLines(userIni->file.get(), scheme.entries, userIni->path);
    userIni->file.reset();
    if (!rewritten || !WriteLines(userIni->path))
        return;
    UpdateRegistry(classic);
    const std::wstring report = L"字体已更新为：\n【" + scheme.displayName + L"】";
    if (MessageBoxW(nullptr, report.c_str(), L"成功！", MB_OK | MB_ICONINFORMATION) == IDOK)
        LaunchHost();
}
