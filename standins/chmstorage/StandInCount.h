#pragma once
#include <windows.h>

// Live objects and locks of the stand-in DLL; it may unload at zero.
extern volatile LONG g_standInCount;
