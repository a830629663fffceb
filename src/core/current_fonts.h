#pragma once
// Which fonts a user.ini holds, and the window's line that names the ones in use.

#include "core/user_ini.h"

#include <string>

enum class FontsKind { None, Classic, Hd, Own };

// By the values (LineValue) of a file's font key lines: None without a font key, Classic or Hd
// when every value is that scheme's (`classic`, `hd`: the schemes' entries), else Own.
FontsKind ClassifyFonts(const KeyLines& lines, const FontMap& classic, const FontMap& hd);

// What the user.ini a switch would find holds: "当前：经典字体", "当前：高清字体",
// "当前：自定义字体", "user.ini 中没有字体设置", "无法读取 user.ini" or
// "没有找到 T0002\user.ini". Reads only; shows nothing.
std::wstring DescribeCurrentFonts();
