#include "foreign/AddModuleReference.h"

// GetModuleHandleExW counts one in a single call; systems before it (it is
// looked up at run time) take one with LoadLibrary on the module's own path.
HMODULE AddModuleReference(HMODULE module)
{
    if (!module)
        return nullptr;
    using GetModuleHandleExFn = BOOL(WINAPI*)(DWORD, LPCWSTR, HMODULE*);
    static const GetModuleHandleExFn getModuleHandleEx = reinterpret_cast<GetModuleHandleExFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetModuleHandleExW")));
    if (getModuleHandleEx) {
        HMODULE referenced = nullptr;
        if (!getModuleHandleEx(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(module),
                               &referenced))
            return nullptr;
        if (referenced != module) {
            FreeLibrary(referenced);
            return nullptr;
        }
        return referenced;
    }
    constexpr DWORD kCapacity = 2048;
    wchar_t path[kCapacity];
    const DWORD length = GetModuleFileNameW(module, path, kCapacity);
    if (length == 0 || length >= kCapacity)
        return nullptr;
    HMODULE referenced = LoadLibraryW(path);
    if (referenced != module) {
        if (referenced)
            FreeLibrary(referenced);
        return nullptr;
    }
    return referenced;
}
