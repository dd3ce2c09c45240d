// LoadIFilter of the indexing library, for tests: finds the file's filter
// through the standard registration under HKEY_CLASSES_ROOT
// (".ext\PersistentHandler" → the handler's IFilter add-in → the class's
// InprocServer32), loads that DLL, creates the filter and loads the file
// through IPersistFile. Like COM, it keeps each filter DLL it loaded for as long
// as that DLL stays loaded: one reference, however many filters it makes.
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <objbase.h>

#include <cwchar>

namespace {
const wchar_t kFilterAddin[] = L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";
constexpr DWORD kCapacity = 1024;

CRITICAL_SECTION g_lock;
// Modules this library holds a reference on.
HMODULE g_held[64] = {};
// Calls of LoadIFilter, for tests that must tell which way a page filter was made.
LONG g_calls = 0;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

bool ReadDefault(const wchar_t* key, wchar_t* out, DWORD capacity)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = (capacity - 1) * sizeof(wchar_t);
    const LONG status = RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    out[bytes / sizeof(wchar_t)] = L'\0';
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[kCapacity];
        const DWORD length = ExpandEnvironmentStringsW(out, expanded, kCapacity);
        if (length == 0 || length > kCapacity)
            return false;
        wcscpy(out, expanded);
    }
    return out[0] != L'\0';
}

// The filter class's DLL for the file, from the registration.
bool FindFilterServer(const wchar_t* path, CLSID* clsid, wchar_t* server)
{
    const wchar_t* dot = wcsrchr(path, L'.');
    const wchar_t* slash = wcsrchr(path, L'\\');
    if (!dot || (slash && dot < slash) || wcslen(dot) > 200)
        return false;
    wchar_t key[kCapacity];
    wchar_t value[kCapacity];
    swprintf(key, kCapacity, L"%ls\\PersistentHandler", dot);
    if (!ReadDefault(key, value, kCapacity))
        return false;
    swprintf(key, kCapacity, L"CLSID\\%.40ls%ls", value, kFilterAddin);
    if (!ReadDefault(key, value, kCapacity) || FAILED(CLSIDFromString(value, clsid)))
        return false;
    swprintf(key, kCapacity, L"CLSID\\%.40ls\\InprocServer32", value);
    return ReadDefault(key, server, kCapacity);
}

bool StillLoaded(HMODULE module)
{
    HMODULE found = nullptr;
    return module &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(module), &found) &&
           found == module;
}

// The server loaded, with one reference of this library's on it (taken the
// first time; a test may have unloaded it since, then it is taken again).
HMODULE HoldServer(const wchar_t* server)
{
    EnterCriticalSection(&g_lock);
    HMODULE module = GetModuleHandleW(server);
    bool held = false;
    for (HMODULE h : g_held)
        held = held || (module && h == module);
    if (!held) {
        module = LoadLibraryExW(server, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        for (HMODULE& h : g_held) {
            if (module && !StillLoaded(h)) {
                h = module;
                break;
            }
        }
    }
    LeaveCriticalSection(&g_lock);
    return module;
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&g_lock);
    } else if (reason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

extern "C" LONG WINAPI QueryStandInLoadIFilterCalls()
{
    return g_calls;
}

extern "C" HRESULT WINAPI LoadIFilter(LPCWSTR path, IUnknown* outer, void** object)
{
    InterlockedIncrement(&g_calls);
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!path)
        return E_INVALIDARG;

    CLSID clsid;
    wchar_t server[kCapacity];
    if (!FindFilterServer(path, &clsid, server))
        return REGDB_E_CLASSNOTREG;
    HMODULE module = HoldServer(server);
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject)
        return CO_E_ERRORINDLL;

    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    IFilter* filter = nullptr;
    hr = factory->CreateInstance(outer, IID_IFilter, reinterpret_cast<void**>(&filter));
    factory->Release();
    if (FAILED(hr))
        return hr;

    IPersistFile* file = nullptr;
    hr = filter->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        hr = file->Load(path, STGM_READ);
        file->Release();
    }
    if (FAILED(hr)) {
        filter->Release();
        return hr;
    }
    *object = filter;
    return S_OK;
}
