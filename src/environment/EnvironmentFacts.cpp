#include "environment/EnvironmentFacts.h"

#include "util/paths/AppendPath.h"
#include "util/paths/GetLongPath.h"

BOOL IsVersionAtLeast(DWORD major, DWORD minor, WORD servicePackMajor, DWORD platform)
{
    return IsVersionAtLeast(g_operatingSystem, major, minor, servicePackMajor, platform);
}

BOOL IsBrowserAtLeast(DWORD major, DWORD minor, DWORD build, DWORD subBuild)
{
    return IsBrowserAtLeast(g_internetExplorer, major, minor, build, subBuild);
}

BOOL AppendPath(wchar_t* path, const wchar_t* component)
{
    return AppendPath(path, component, g_shlwapiVersion);
}

DWORD GetLongPath(const wchar_t* shortPath, wchar_t* output, DWORD capacity)
{
    return GetLongPath(shortPath, output, capacity, AtLeastNT_5_0 || AtLeast9x_4_10);
}
