#include "core/font_switch.h"

#include "core/own_fonts.h"
#include "core/user_ini.h"
#include "host/backup.h"
#include "host/compat_layer.h"
#include "host/host_process.h"
#include "host/install_paths.h"
#include "message_box.h"

#include <optional>

namespace {

constexpr wchar_t kNoFonts[] = L"user.ini 中没有字体设置，字体没有改变。";

// What a change of user.ini's fonts writes and reports.
struct FontChange {
    KeyLines lines;           // replaces the first line of each key
    SchemeKind layers;        // the compatibility value's DPI override, as this scheme has it
    std::wstring successText; // the success box's text
};

void ShowNotice(const std::wstring& text) {
    ShowBox(text, L"提示", MB_OK | MB_ICONINFORMATION);
}

// Whether a host process runs; if one does, the user is told to end it.
bool IsHostRunning() {
    if (!IsProcessMatching({L"tdxw", L"通达信"}))
        return false;
    ShowBox(L"请退出所有通达信程序；\n再进行字体切换操作！", L"重要提示", MB_OK | MB_ICONWARNING);
    return true;
}

// The first half of a change: the host guard, then user.ini located and opened. Nothing after a
// message.
std::optional<OpenedUserIni> OpenUserIni() {
    if (IsHostRunning())
        return std::nullopt;
    return LocateUserIni(GetBasePath());
}

// The second half: back up, rewrite and save, compatibility value, report, relaunch. Every
// failure has shown its own message.
void ApplyChange(OpenedUserIni& userIni, FontChange& change) {
    // The input stays open during the backup.
    const std::optional<std::wstring> backup = BackupFile(userIni.path);
    if (!backup)
        return;
    const Rewrite rewrite = RewriteLines(userIni.file.get(), change.lines, userIni.path);
    userIni.file.reset();
    if (rewrite == Rewrite::NoKeys) {
        DeleteFileW(backup->c_str()); // a copy of a file that stays as it is
        ShowNotice(kNoFonts);
        return;
    }
    if (rewrite == Rewrite::Failed || !WriteLines(userIni.path))
        return;
    UpdateRegistry(change.layers);
    if (ShowBox(change.successText, L"成功！", MB_OK | MB_ICONINFORMATION) == IDOK)
        LaunchHost();
}

// The fonts of the newest backup with fonts of the user's own, once the user agrees; nothing,
// after a message, when there is nothing to bring back or the user declines.
std::optional<FontChange> PlanRestore(const std::wstring& userIni) {
    std::optional<OwnFonts> own = FindOwnFonts(userIni);
    if (!own) {
        ShowNotice(L"没有找到保存着你自己字体设置的备份。");
        return std::nullopt;
    }
    const std::wstring& name = own->backupName;
    const std::optional<KeyLines> current = ReadKeyLines(userIni);
    if (!current) {
        ShowBox(L"无法读取配置文件 user.ini", L"错误提醒", MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    if (!HasAnyKey(*current, own->lines)) {
        ShowNotice(kNoFonts);
        return std::nullopt;
    }
    // The restore also takes the DPI override out, as Classic does.
    if (IsRestored(*current, own->lines) && !IsLayerChangePending(kClassic)) {
        ShowNotice(L"字体已经与备份 " + name + L" 中的相同，无需恢复。");
        return std::nullopt;
    }
    const std::wstring question = L"将把字体恢复为备份 " + name +
                                  L" 中的设置，user.ini 的其他设置保持现在的样子。\n是否继续？";
    if (ShowBox(question, L"恢复原来的字体", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return std::nullopt;
    return FontChange{std::move(own->lines), kClassic,
                      L"字体已恢复为备份中的设置：\n【" + name + L"】"};
}

} // namespace

void WriteFontConfig(SchemeKind classic) {
    std::optional<OpenedUserIni> userIni = OpenUserIni();
    if (!userIni)
        return;
    const FontScheme scheme = MakeFontScheme(classic);
    FontChange change{SchemeLines(scheme.entries), classic,
                      L"字体已更新为：\n【" + scheme.displayName + L"】"};
    ApplyChange(*userIni, change);
}

void RestoreOwnFonts() {
    std::optional<OpenedUserIni> userIni = OpenUserIni();
    if (!userIni)
        return;
    std::optional<FontChange> change = PlanRestore(userIni->path);
    // A host may have been started while the question waited.
    if (change && !IsHostRunning())
        ApplyChange(*userIni, *change);
}
