#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>

#include "comserver/ClassesRegistry.h"
#include "util/owners/RegKey.h"

// The start of the image this code is linked into: the server DLL itself.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// Registration helpers of the stand-in COM servers. They write under
// HKEY_CLASSES_ROOT, which tests map onto a scratch key.
namespace ServerRegistration {

// The full path of this DLL; false when it does not fit.
inline bool ModulePath(wchar_t (&path)[MAX_PATH + 1])
{
    const DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
    return length != 0 && length < MAX_PATH;
}

using ClassesRegistry::GuidText;

// Sets a string value (the default value when name is null) of
// HKEY_CLASSES_ROOT\path, creating the key.
inline LONG SetClassesString(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr)
{
    RegKey key;
    const LONG result =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Names dllPath as the in-process server of clsid, for callers in any apartment.
inline bool RegisterInprocServer(const CLSID& clsid, const wchar_t* dllPath)
{
    const std::wstring server = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    return SetClassesString(server, dllPath) == ERROR_SUCCESS &&
           SetClassesString(server, L"Both", L"ThreadingModel") == ERROR_SUCCESS;
}

}  // namespace ServerRegistration
