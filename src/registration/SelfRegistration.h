#pragma once
#include <windows.h>

// What DllRegisterServer and DllUnregisterServer do, over the registration
// table. The operating-system version query is a parameter so that tests can
// drive both modes; the exports pass GetVersionExW.
using VersionQuery = BOOL(WINAPI*)(LPOSVERSIONINFOW);

// Windows 2000 and later keep document types to what is installed: the
// registration then only updates document-type keys that exist. Older systems,
// or a failed query, get missing keys created.
bool IsOpenOnlyMode(VersionQuery query);

// S_OK, or SELFREG_E_CLASS at the first failing step (nothing is undone).
// `module` is the DLL whose path goes into InprocServer32.
HRESULT RegisterFilter(HMODULE module, VersionQuery query);

// S_OK, or S_FALSE when a step reported a failure; every step runs.
HRESULT UnregisterFilter();
