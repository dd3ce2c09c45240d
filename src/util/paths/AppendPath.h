#pragma once
#include <windows.h>

// Appends a component to a path buffer of MAX_PATH characters with a single
// separator between them. 1 on success, 0 when refused. PathAppendW is used
// when the packed SHLWAPI.DLL version is 4.71 or later, the own rule otherwise;
// environment/EnvironmentFacts.h has the form that passes the recorded version.
BOOL AppendPath(wchar_t* path, const wchar_t* component, DWORD shlwapiVersion);
