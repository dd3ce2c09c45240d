#pragma once
#include <windows.h>

// Live objects and locks of the reference page filter DLL; it may unload at zero.
extern volatile LONG g_pageFilterCount;
