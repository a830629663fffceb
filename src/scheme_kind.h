#pragma once
// The choice of font scheme, shared by the switch, the schemes and the compatibility layer.

// true: Classic ("经典字体", button 1); false: HD ("高清字体", button 2).
using SchemeKind = bool;

inline constexpr SchemeKind kClassic = true;
inline constexpr SchemeKind kHd = false;
