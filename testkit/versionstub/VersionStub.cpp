// Reports version 4.71 build 3110, as an early shell library did.
#include <windows.h>
#include <shlwapi.h>

extern "C" HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* info)
{
    if (!info || info->cbSize < sizeof(DLLVERSIONINFO))
        return E_INVALIDARG;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 71;
    info->dwBuildNumber = 3110;
    info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    return S_OK;
}
