#include "registry/ReadExtensionValue.h"

#include "registry/CRegistry.h"
#include "registry/ReadRegistryText.h"
#include "util/strings/BoundedString.h"

namespace {
constexpr size_t kKeyCapacity = 2048;
}

BOOL ReadExtensionValue(const wchar_t* extension, const wchar_t* valueName, wchar_t* out, size_t capacity)
{
    if (!extension || !out || capacity == 0 || capacity > kMaxBoundedCapacity)
        return FALSE;
    wchar_t path[kKeyCapacity];
    // A cut path names some other key or none; the open then fails the step.
    BoundedCopy(path, kKeyCapacity, L"SOFTWARE\\Classes\\.");
    if (FAILED(BoundedAppend(path, kKeyCapacity, extension)))
        return FALSE;

    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path))
        return FALSE;
    BOOL expandable = FALSE;
    return ReadRegistryText(key, valueName, out, capacity, static_cast<DWORD>(capacity), &expandable);
}
