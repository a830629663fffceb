#include "core/font_switch.h"

#include "core/own_fonts.h"
#include "core/user_ini.h"
#include "host/backup.h"
#include "host/compat_layer.h"
#include "host/host_process.h"
#include "host/install_paths.h"

#include <windows.h>

#include <functional>
#include <optional>

namespace {

// What a change of user.ini's fonts writes and reports.
struct FontChange {
    KeyLines lines;           // replaces the first line of each key
    SchemeKind layers;        // the compatibility value's DPI override, as this scheme has it
    std::wstring successText; // the success box's text
};

// Decides the change for the user.ini at the path, or shows why there is none.
using PlanChange = std::function<std::optional<FontChange>(const std::wstring& userIni)>;

void ShowNotice(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), L"提示", MB_OK | MB_ICONINFORMATION);
}

// The one way user.ini's fonts change: host guard, locate, plan, back up, rewrite and save,
// compatibility value, report, relaunch. Every failure has shown its own message.
void ChangeFonts(const PlanChange& plan) {
    if (IsProcessMatching({L"tdxw", L"通达信"})) {
        MessageBoxW(nullptr, L"请退出所有通达信程序；\n再进行字体切换操作！", L"重要提示",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    std::optional<OpenedUserIni> userIni = LocateUserIni(GetBasePath());
    if (!userIni)
        return;
    std::optional<FontChange> change = plan(userIni->path);
    // The input stays open during the backup.
    if (!change || !BackupFile(userIni->path))
        return;
    const bool rewritten = RewriteLines(userIni->file.get(), change->lines, userIni->path);
    userIni->file.reset();
    if (!rewritten || !WriteLines(userIni->path))
        return;
    UpdateRegistry(change->layers);
    if (MessageBoxW(nullptr, change->successText.c_str(), L"成功！", MB_OK | MB_ICONINFORMATION) ==
        IDOK)
        LaunchHost();
}

// The fonts of the newest backup with fonts of the user's own, once the user agrees.
std::optional<FontChange> PlanRestore(const std::wstring& userIni) {
    std::optional<OwnFonts> own = FindOwnFonts(userIni);
    if (!own) {
        ShowNotice(L"没有找到保存着你自己字体设置的备份。");
        return std::nullopt;
    }
    const std::wstring& name = own->backupName;
    const std::optional<KeyLines> current = ReadKeyLines(userIni, MakeFontScheme(true).entries);
    if (!current) {
        MessageBoxW(nullptr, L"无法读取配置文件 user.ini", L"错误提醒", MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    if (IsRestored(*current, own->lines)) {
        ShowNotice(L"字体已经与备份 " + name + L" 中的相同，无需恢复。");
        return std::nullopt;
    }
    const std::wstring question = L"将把字体恢复为备份 " + name +
                                  L" 中的设置，user.ini 的其他设置保持现在的样子。\n是否继续？";
    if (MessageBoxW(nullptr, question.c_str(), L"恢复原来的字体", MB_OKCANCEL | MB_ICONQUESTION) !=
        IDOK)
        return std::nullopt;
    return FontChange{std::move(own->lines), true,
                      L"字体已恢复为备份中的设置：\n【" + name + L"】"};
}

} // namespace

void WriteFontConfig(SchemeKind classic) {
    ChangeFonts([classic](const std::wstring&) {
        const FontScheme scheme = MakeFontScheme(classic);
        return std::optional<FontChange>(
            FontChange{SchemeLines(scheme.entries), classic,
                       L"字体已更新为：\n【" + scheme.displayName + L"】"});
    });
}

void RestoreOwnFonts() {
    ChangeFonts(PlanRestore);
}
