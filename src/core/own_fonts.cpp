#include "core/own_fonts.h"

#include "host/backup.h"
#include "host/durable_file.h"

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

bool IsOwnFonts(const KeyLines& lines) {
    return !lines.empty() && !HasSchemeValues(lines, true) && !HasSchemeValues(lines, false);
}

std::optional<OwnFonts> FindOwnFonts(const std::wstring& userIni) {
    const FontMap fontKeys = MakeFontScheme(true).entries;
    std::string content;
    for (const FoundBackup& backup : ListBackups(userIni)) {
        if (!ReadWholeFile(backup.path, content))
            continue; // a backup that cannot be read brings nothing back
        KeyLines lines = FindKeyLines(content, fontKeys);
        if (IsOwnFonts(lines))
            return OwnFonts{backup.name, std::move(lines)};
    }
    return std::nullopt;
}
