#include "util/paths/AppendBackslash.h"

#include "util/strings/BoundedString.h"

bool AppendBackslash(wchar_t* folder, size_t capacity)
{
    size_t length = 0;
    if (FAILED(BoundedLength(folder, capacity, &length)))
        return false;
    if (length > 0 && folder[length - 1] == L'\\')
        return true;
    return BoundedAppend(folder, capacity, L"\\") == S_OK;
}
