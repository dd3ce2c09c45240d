#pragma once
#include <windows.h>

// The long form of a short (8.3) path, written into `output` (capacity in
// characters, terminator included). Returns the long path's length, or 0 on
// failure (output left empty), including when it does not fit. `platformCall`
// chooses GetLongPathNameW over the shell's parser; environment/EnvironmentFacts.h
// has the form that passes whether the recorded system version has that call.
DWORD GetLongPath(const wchar_t* shortPath, wchar_t* output, DWORD capacity, BOOL platformCall);
