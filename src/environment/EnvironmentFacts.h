#pragma once
#include <windows.h>

#include "environment/CInternetExplorer.h"
#include "environment/COperatingSystem.h"

// Facts about the machine, established once while the module loads (defined in
// module/ModuleGlobals.cpp) and only read afterwards.

// Packed versions (major << 16 | minor) of four system DLLs, 0 when unreadable.
extern const DWORD g_comctl32Version;
extern const DWORD g_shell32Version;
extern const DWORD g_shlwapiVersion;
extern const DWORD g_kernel32Version;

extern const COperatingSystem g_operatingSystem;
// Windows 98 or later of the 9x family; Windows 2000 or later of the NT family.
extern const BOOL AtLeast9x_4_10;
extern const BOOL AtLeastNT_5_0;

extern const CInternetExplorer g_internetExplorer;

// Over the module's own objects.
BOOL IsVersionAtLeast(DWORD major, DWORD minor, WORD servicePackMajor, DWORD platform);
BOOL IsBrowserAtLeast(DWORD major, DWORD minor, DWORD build, DWORD subBuild);

// The path routines of util/paths/ (AppendPath.h, GetLongPath.h) on the route the
// recorded versions choose: PathAppendW from SHLWAPI 4.71 on, GetLongPathNameW
// from Windows 98 and Windows 2000 on.
BOOL AppendPath(wchar_t* path, const wchar_t* component);
DWORD GetLongPath(const wchar_t* shortPath, wchar_t* output, DWORD capacity);
