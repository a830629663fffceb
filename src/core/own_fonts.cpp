#include "core/own_fonts.h"

#include "core/current_fonts.h"
#include "host/backup.h"

#include <algorithm>

bool HasAnyKey(const KeyLines& current, const KeyLines& own) {
    return std::any_of(own.begin(), own.end(),
                       [&](const auto& keyLine) { return current.contains(keyLine.first); });
}

bool IsRestored(const KeyLines& current, const KeyLines& own) {
    return std::all_of(own.begin(), own.end(), [&](const auto& keyLine) {
        const auto line = current.find(keyLine.first); // a key user.ini lacks is not added
        return line == current.end() || ReplacingLine(line->second, keyLine.second) == line->second;
    });
}

std::optional<OwnFonts> FindOwnFonts(const std::wstring& userIni) {
    const FontMap classic = MakeFontScheme(kClassic).entries;
    const FontMap hd = MakeFontScheme(kHd).entries;
    for (const FoundBackup& backup : ListBackups(userIni)) {
        // A backup that cannot be read brings nothing back.
        std::optional<KeyLines> lines = ReadKeyLines(backup.path);
        if (lines && ClassifyFonts(*lines, classic, hd) == FontsKind::Own)
            return OwnFonts{backup.name, std::move(*lines)};
    }
    return std::nullopt;
}
