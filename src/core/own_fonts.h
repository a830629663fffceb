#pragma once
// The way back to the user's own fonts: the newest backup that holds fonts of the user's own.

#include "core/user_ini.h"

#include <optional>
#include <string>

struct OwnFonts {
    std::wstring backupName;
    KeyLines lines; // the backup's first line of each font key it carries
};

// Whether the font key lines of a file hold fonts of the user's own: at least one of the thirty
// keys, with values (LineValue) neither all those of Classic nor all those of HD.
bool IsOwnFonts(const KeyLines& lines);

// Whether a user.ini whose font key lines are `current` already carries every line of `own`, so
// that bringing them back would change nothing.
bool IsRestored(const KeyLines& current, const KeyLines& own);

// The font key lines of the most recently written backup of `userIni` that holds fonts of the
// user's own; nothing when none does.
std::optional<OwnFonts> FindOwnFonts(const std::wstring& userIni);
