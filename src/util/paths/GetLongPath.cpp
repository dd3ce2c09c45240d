#include "util/paths/GetLongPath.h"

#include <shlobj.h>

#include "util/strings/BoundedString.h"
#include "util/owners/ComPtr.h"
#include "util/owners/CoTaskMemBlock.h"

namespace {
using GetLongPathNameFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

// Looked up once for the life of the module.
GetLongPathNameFn LongPathFunction()
{
    static const GetLongPathNameFn function = reinterpret_cast<GetLongPathNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"KERNEL32"), "GetLongPathNameW")));
    return function;
}

DWORD LongPathFromShell(const wchar_t* shortPath, wchar_t* output, DWORD capacity)
{
    ComPtr<IShellFolder> desktop;
    if (FAILED(desktop.receive([](IShellFolder** out) { return SHGetDesktopFolder(out); })) || !desktop)
        return 0;
    wchar_t name[MAX_PATH];
    if (FAILED(BoundedCopy(name, MAX_PATH, shortPath)))
        return 0;
    CoTaskMemBlock<ITEMIDLIST> list;
    if (FAILED(list.receive([&](ITEMIDLIST** out) {
            return desktop->ParseDisplayName(nullptr, nullptr, name, nullptr, out, nullptr);
        })) ||
        !list)
        return 0;
    desktop.reset();

    // SHGetPathFromIDListW assumes MAX_PATH characters; the caller's buffer
    // may be smaller, so convert into our own first.
    wchar_t longPath[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(list.get(), longPath))
        return 0;
    size_t length = 0;
    if (FAILED(BoundedCopy(output, capacity, longPath)) || FAILED(BoundedLength(output, capacity, &length))) {
        output[0] = L'\0';
        return 0;
    }
    return static_cast<DWORD>(length);
}
}

DWORD GetLongPath(const wchar_t* shortPath, wchar_t* output, DWORD capacity, BOOL platformCall)
{
    if (!shortPath || !output || capacity == 0)
        return 0;
    output[0] = L'\0';
    if (shortPath[0] == L'\0')
        return 0;

    if (platformCall) {
        if (const GetLongPathNameFn function = LongPathFunction()) {
            const DWORD length = function(shortPath, output, capacity);
            // A result of capacity or more is the size it would need: nothing
            // was written, which is a failure for our callers.
            if (length == 0 || length >= capacity) {
                output[0] = L'\0';
                return 0;
            }
            return length;
        }
    }
    return LongPathFromShell(shortPath, output, capacity);
}
