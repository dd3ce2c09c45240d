#include "util/owners/RegKey.h"

#include <cstdint>

namespace {
// HKEY_CLASSES_ROOT .. HKEY_DYN_DATA are sign-extended values 0x80000000..0x80000006.
bool IsPredefined(HKEY key)
{
    const auto value = reinterpret_cast<uintptr_t>(key);
    const auto first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    return value >= first && value <= first + 0x10;
}
}

void RegKeyPolicy::Close(HKEY key)
{
    if (!IsPredefined(key))
        RegCloseKey(key);
}
