#include "util/paths/AppendPath.h"

#include <shlwapi.h>

#include "util/strings/BoundedString.h"
#include "util/paths/SplitPath.h"

namespace {
constexpr DWORD kPathAppendVersion = 0x00040047;  // 4.71
}

BOOL AppendPath(wchar_t* path, const wchar_t* component, DWORD shlwapiVersion)
{
    size_t length = 0;
    if (!path || !component || FAILED(BoundedLength(path, MAX_PATH, &length)))
        return FALSE;
    if (shlwapiVersion >= kPathAppendVersion)
        return PathAppendW(path, component);

    if (component[0] == L'\0')
        return TRUE;
    if (IsSeparator(component[0]))
        return FALSE;
    // A cut is not reported: the path stays terminated inside its buffer.
    if (length > 0 && !IsSeparator(path[length - 1]))
        BoundedAppend(path, MAX_PATH, L"\\");
    BoundedAppend(path, MAX_PATH, component);
    return TRUE;
}
