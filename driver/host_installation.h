#pragma once
// A host installation for the tool to switch: its user.ini, the stand-in host as tdxw.exe, and the
// built tool.

#include "files.h"
#include "processes.h"

#include <string_view>

// `root`\T0002\user.ini holding `userIni`, `root`\tdxw.exe: the stand-in host built beside this
// program, and a copy of the built tool as `root`\`tool` with kzv.ico beside it, unless `tool` is
// empty. Returns the copy's path.
inline fs::path LayHostInstallation(const fs::path& root, std::string_view userIni,
                                    const fs::path& tool) {
    fs::create_directories(root / L"T0002");
    WriteBytes(root / L"T0002\\user.ini", userIni);
    fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"tdxw.exe");
    if (!tool.empty()) {
        fs::create_directories((root / tool).parent_path());
        fs::copy_file(ExeDir() / L"TessalyFontSwitch.exe", root / tool);
        fs::copy_file(ExeDir() / L"kzv.ico", (root / tool).parent_path() / L"kzv.ico",
                      fs::copy_options::overwrite_existing);
    }
    return root / tool;
}
