#include "environment/EnvironmentFacts.h"

BOOL IsVersionAtLeast(DWORD major, DWORD minor, WORD servicePackMajor, DWORD platform)
{
    return IsVersionAtLeast(g_operatingSystem, major, minor, servicePackMajor, platform);
}

BOOL IsBrowserAtLeast(DWORD major, DWORD minor, DWORD build, DWORD subBuild)
{
    return IsBrowserAtLeast(g_internetExplorer, major, minor, build, subBuild);
}
