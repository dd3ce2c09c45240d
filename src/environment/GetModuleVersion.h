#pragma once
#include <windows.h>

// The version a DLL reports through its "DllGetVersion" export, packed as
// major << 16 | minor (each cut to 16 bits). 0 when the name is empty or longer
// than 260 characters, the DLL cannot be loaded, has no such export or the call
// fails; the DLL is freed again in every case.
BOOL GetModuleVersion(const wchar_t* dllName, DWORD* version);

// The packed version, or 0 when it cannot be read.
DWORD PackedModuleVersion(const wchar_t* dllName);
