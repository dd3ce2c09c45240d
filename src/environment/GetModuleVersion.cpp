#include "environment/GetModuleVersion.h"

#include <shlwapi.h>

#include "util/strings/BoundedString.h"
#include "util/owners/LibraryHandle.h"

BOOL GetModuleVersion(const wchar_t* dllName, DWORD* version)
{
    size_t length = 0;
    if (!version || FAILED(BoundedLength(dllName, MAX_PATH + 1, &length)) || length == 0)
        return FALSE;
    *version = 0;

    LibraryHandle library(LoadLibraryW(dllName));
    if (!library)
        return FALSE;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetVersion")));
    if (!getVersion)
        return FALSE;

    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    const HRESULT hr = getVersion(&info);
    library.reset();
    if (FAILED(hr))
        return FALSE;
    *version = ((info.dwMajorVersion & 0xFFFF) << 16) | (info.dwMinorVersion & 0xFFFF);
    return TRUE;
}

DWORD PackedModuleVersion(const wchar_t* dllName)
{
    DWORD version = 0;
    return GetModuleVersion(dllName, &version) ? version : 0;
}
