// The module's static objects, defined in one place so that they are built in
// this order when the module loads and destroyed in reverse when it unloads.
#include "environment/EnvironmentFacts.h"
#include "environment/GetModuleVersion.h"
#include "module/CIFitlerBaseApp.h"

CIFitlerBaseApp theApp;

// The version flags read the operating-system object, so they follow it.
const COperatingSystem g_operatingSystem;
const BOOL AtLeast9x_4_10 = IsVersionAtLeast(4, 10, 0, VER_PLATFORM_WIN32_WINDOWS);
const BOOL AtLeastNT_5_0 = IsVersionAtLeast(5, 0, 0, VER_PLATFORM_WIN32_NT);
const CInternetExplorer g_internetExplorer;
const DWORD g_comctl32Version = PackedModuleVersion(L"COMCTL32.DLL");
const DWORD g_shell32Version = PackedModuleVersion(L"SHELL32.DLL");
const DWORD g_shlwapiVersion = PackedModuleVersion(L"SHLWAPI.DLL");
const DWORD g_kernel32Version = PackedModuleVersion(L"KERNEL32.DLL");
