#pragma once
// The way back to the user's own fonts: the newest backup that holds fonts of the user's own.

#include "core/user_ini.h"

#include <optional>
#include <string>

struct OwnFonts {
    std::wstring backupName;
    KeyLines lines; // the backup's first line of each font key it carries
};

// Whether a user.ini whose font key lines are `current` carries any key of `own`.
bool HasAnyKey(const KeyLines& current, const KeyLines& own);

// Whether a user.ini whose font key lines are `current` already carries every line of `own`, so
// that bringing them back would change none of its bytes.
bool IsRestored(const KeyLines& current, const KeyLines& own);

// The font key lines of the most recently written backup of `userIni` that holds fonts of the
// user's own (ClassifyFonts: Own); nothing when none does.
std::optional<OwnFonts> FindOwnFonts(const std::wstring& userIni);
