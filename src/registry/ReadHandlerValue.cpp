#include "registry/ReadHandlerValue.h"

#include "registry/CRegistry.h"
#include "registry/ReadRegistryText.h"
#include "util/strings/BoundedString.h"

namespace {
constexpr DWORD kHandlerLength = 39;
}

BOOL ReadHandlerValue(const wchar_t* keyPath, wchar_t* out, size_t capacity)
{
    if (!keyPath || !out || capacity == 0)
        return FALSE;
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, keyPath))
        return FALSE;
    // The read's own measure of the value says whether it has a class id's length.
    wchar_t handler[kHandlerLength];
    DWORD length = 0;
    if (!ReadRegistryText(key, nullptr, handler, kHandlerLength, kHandlerLength, nullptr, &length) ||
        length != kHandlerLength)
        return FALSE;
    size_t handlerLength = 0;
    if (FAILED(BoundedLength(handler, kHandlerLength, &handlerLength)) || handlerLength >= capacity)
        return FALSE;
    return SUCCEEDED(BoundedCopy(out, capacity, handler)) ? TRUE : FALSE;
}
