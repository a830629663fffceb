#pragma once
// A host installation for the tool to switch: its user.ini and the stand-in host as tdxw.exe.

#include "files.h"
#include "processes.h"

#include <string_view>

// `root`\T0002\user.ini holding `userIni`, and `root`\tdxw.exe: the stand-in host built beside
// this program.
inline void LayHostInstallation(const fs::path& root, std::string_view userIni) {
    fs::create_directories(root / L"T0002");
    WriteBytes(root / L"T0002\\user.ini", userIni);
    fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"tdxw.exe");
}
