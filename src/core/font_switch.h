#pragma once
// The switch: host guard, locate, back up, rewrite, register, report, relaunch.

#include "scheme_kind.h"

// Applies the scheme; shows every outcome itself. Ends the process when the host starts.
void WriteFontConfig(SchemeKind classic);
