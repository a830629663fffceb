#pragma once
// The switch and the way back: host guard, locate, back up, rewrite, register, report, relaunch.

#include "scheme_kind.h"

// Applies the scheme; shows every outcome itself, and leaves a user.ini without font keys as it is.
// Ends the process when the host starts.
void WriteFontConfig(SchemeKind classic);

// Brings back the fonts of the newest backup that holds fonts of the user's own, every other
// line of user.ini kept, once the user agrees and no host runs; the DPI override taken out as
// Classic takes it. Shows every outcome itself. Ends the process when the host starts.
void RestoreOwnFonts();
