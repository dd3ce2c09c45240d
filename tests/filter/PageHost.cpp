// pagehost <scratch registry> <page> <result file>
// Points this process's HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and
// HKEY_CLASSES_ROOT at the scratch tree that the test wrote (a path under the
// real HKEY_CURRENT_USER), makes the page filter for the page as the filter
// would in this process, and writes the filter's class into the result file
// ("none" when no filter was made).
#include <windows.h>
#include <objbase.h>

#include <string>

#include "filter/CHostProcessInfo.h"
#include "util/owners/RegKey.h"

namespace {
bool Override(HKEY predefined, const std::wstring& path, RegKey& key)
{
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS &&
           RegOverridePredefKey(predefined, key.get()) == ERROR_SUCCESS;
}

std::wstring FilterClass(const wchar_t* page)
{
    CHostProcessInfo host;
    // The module goes after the filter object it serves.
    ForeignModule module;
    ForeignPtr<IFilter> filter;
    module = host.LoadPageFilter(page, filter);
    if (!filter)
        return L"none";
    ForeignPtr<IPersist> persist = filter.query<IPersist>(IID_IPersist);
    CLSID clsid = CLSID_NULL;
    HRESULT hr = E_FAIL;
    if (!persist || !persist.call([&](IPersist* p) { hr = p->GetClassID(&clsid); }) || FAILED(hr))
        return L"unknown";
    wchar_t text[40] = {};
    StringFromGUID2(clsid, text, 40);
    return text;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    const std::wstring scratch = argv[1];
    RegKey machine, user, classes;
    if (!Override(HKEY_CLASSES_ROOT, scratch + L"\\HKLM\\Software\\Classes", classes) ||
        !Override(HKEY_LOCAL_MACHINE, scratch + L"\\HKLM", machine) ||
        !Override(HKEY_CURRENT_USER, scratch + L"\\HKCU", user))
        return 3;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring result = FilterClass(argv[2]);
    CoUninitialize();

    HANDLE file = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 4;
    DWORD written = 0;
    WriteFile(file, result.c_str(), static_cast<DWORD>(result.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
