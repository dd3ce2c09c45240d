#include "util/FileExists.h"

#include "util/BoundedString.h"
#include "util/FindHandle.h"

BOOL FileExists(const wchar_t* path)
{
    if (!path || IsBadReadPtr(path, sizeof(wchar_t)))
        return FALSE;
    size_t length = 0;
    if (FAILED(BoundedLength(path, MAX_PATH, &length)) || length == 0)
        return FALSE;
    // FindFirstFileW would treat these as a pattern; no file name holds them.
    for (size_t i = 0; i < length; ++i) {
        if (path[i] == L'*' || path[i] == L'?')
            return FALSE;
    }

    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path, &data));
    if (!find)
        return FALSE;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FALSE : TRUE;
}
