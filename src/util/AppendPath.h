#pragma once
#include <windows.h>

// Appends a component to a path buffer of MAX_PATH characters with a single
// separator between them. 1 on success, 0 when refused.
BOOL AppendPath(wchar_t* path, const wchar_t* component);

// As above; PathAppendW is used when the packed SHLWAPI.DLL version is 4.71 or
// later, the own rule otherwise. The form above passes the recorded version.
BOOL AppendPath(wchar_t* path, const wchar_t* component, DWORD shlwapiVersion);
