#include "registry/ReadHandlerValue.h"

#include "registry/CRegistry.h"
#include "registry/ReadRegistryText.h"
#include "util/BoundedString.h"

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
    DWORD length = 0;
    if (!key.QueryValueLength(nullptr, &length) || length != kHandlerLength)
        return FALSE;
    wchar_t handler[kHandlerLength];
    if (!ReadRegistryText(key, nullptr, handler, kHandlerLength, kHandlerLength))
        return FALSE;
    size_t handlerLength = 0;
    if (FAILED(BoundedLength(handler, kHandlerLength, &handlerLength)) || handlerLength >= capacity)
        return FALSE;
    return SUCCEEDED(BoundedCopy(out, capacity, handler)) ? TRUE : FALSE;
}
