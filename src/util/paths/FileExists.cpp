#include "util/paths/FileExists.h"

#include <cwchar>

#include "util/strings/BoundedString.h"
#include "util/owners/FindHandle.h"

namespace {
// The forms hosts use to pass a path on unparsed; the '?' in them is no pattern.
const wchar_t* const kVerbatimPrefixes[] = {L"\\\\?\\UNC\\", L"\\\\?\\"};

size_t VerbatimPrefixLength(const wchar_t* path, size_t pathLength)
{
    for (const wchar_t* prefix : kVerbatimPrefixes) {
        const size_t length = wcslen(prefix);
        if (pathLength >= length && _wcsnicmp(path, prefix, length) == 0)
            return length;
    }
    return 0;
}
}

BOOL FileExists(const wchar_t* path)
{
    if (!path || IsBadReadPtr(path, sizeof(wchar_t)))
        return FALSE;
    size_t length = 0;
    if (FAILED(BoundedLength(path, MAX_PATH, &length)) || length == 0)
        return FALSE;
    const size_t prefix = VerbatimPrefixLength(path, length);
    if (prefix == length)
        return FALSE;
    // FindFirstFileW would treat these as a pattern; no file name holds them.
    for (size_t i = prefix; i < length; ++i) {
        if (path[i] == L'*' || path[i] == L'?')
            return FALSE;
    }

    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path, &data));
    if (!find)
        return FALSE;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FALSE : TRUE;
}
