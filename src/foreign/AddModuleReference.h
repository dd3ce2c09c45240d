#pragma once
#include <windows.h>

// A reference of the caller's own on a module that is already loaded, to be
// given back with FreeLibrary (or never). Null when it cannot be had, or when
// the module is no longer loaded.
HMODULE AddModuleReference(HMODULE module);
