#pragma once
// Ids of the executable's resources, shared by res/app.rc and the code.

#define IDI_ICON1 101
