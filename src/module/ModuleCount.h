#pragma once
#include <windows.h>

// Live class factories, filter objects and server locks, together. The module
// may be unloaded while it is 0 or less.
extern volatile LONG g_moduleCount;

inline void ModuleAddRef() { InterlockedIncrement(&g_moduleCount); }
inline void ModuleRelease() { InterlockedDecrement(&g_moduleCount); }
