#pragma once
// Files for the programs that drive the tool: folders to lay installations out in, bytes in and
// out, names in UTF-8 for what they print.

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

inline std::string U8(const std::wstring& text) {
    const std::u8string bytes = fs::path(text).u8string();
    return {bytes.begin(), bytes.end()};
}

// A new empty folder under %TEMP%\fontswitch; its last contents stay for a look after a failure.
inline fs::path TempFolder(const std::wstring& name) {
    const fs::path folder = fs::temp_directory_path() / L"fontswitch" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
