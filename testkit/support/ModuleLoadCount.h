#pragma once
#include <windows.h>

// How many references the loader counts on a loaded module, read from the
// process's loader list: -1 when the module is not loaded. Lets a test see
// that a sequence of loads and frees leaves a DLL exactly where it started.
int ModuleLoadCount(HMODULE module);
