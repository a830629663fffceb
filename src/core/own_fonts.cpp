#include "core/own_fonts.h"

#include "host/backup.h"

#include <algorithm>

namespace {

// Whether every value the lines carry is the scheme's for its key.
bool HasSchemeValues(const KeyLines& lines, SchemeKind classic) {
    const FontMap scheme = MakeFontScheme(classic).entries;
    return std::all_of(lines.begin(), lines.end(), [&](const auto& keyLine) {
        const auto value = scheme.find(keyLine.first);
        return value != scheme.end() && LineValue(keyLine.second) == value->second;
    });
}

} // namespace

// Without a font key every value (there is none) agrees with each scheme: not own fonts.
bool IsOwnFonts(const KeyLines& lines) {
    return !HasSchemeValues(lines, true) && !HasSchemeValues(lines, false);
}

bool IsRestored(const KeyLines& current, const KeyLines& own) {
    return std::all_of(own.begin(), own.end(), [&](const auto& keyLine) {
        const auto line = current.find(keyLine.first); // a key user.ini lacks is not added
        return line == current.end() || ReplacingLine(line->second, keyLine.second) == line->second;
    });
}

std::optional<OwnFonts> FindOwnFonts(const std::wstring& userIni) {
    for (const FoundBackup& backup : ListBackups(userIni)) {
        // A backup that cannot be read brings nothing back.
        std::optional<KeyLines> lines = ReadKeyLines(backup.path, MakeFontScheme(true).entries);
        if (lines && IsOwnFonts(*lines))
            return OwnFonts{backup.name, std::move(*lines)};
    }
    return std::nullopt;
}
