#include "util/SplitPath.h"

namespace {
bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool CopyPart(const wchar_t* begin, const wchar_t* end, wchar_t* out, size_t capacity)
{
    const size_t length = static_cast<size_t>(end - begin);
    if (length >= capacity)
        return false;
    for (size_t i = 0; i < length; ++i)
        out[i] = begin[i];
    out[length] = L'\0';
    return true;
}
}

BOOL SplitPath(const wchar_t* path, wchar_t* drive, size_t driveCapacity, wchar_t* directory,
               size_t directoryCapacity, wchar_t* name, size_t nameCapacity, wchar_t* extension,
               size_t extensionCapacity)
{
    if (!drive || driveCapacity == 0 || !directory || directoryCapacity == 0 || !name || nameCapacity == 0 ||
        !extension || extensionCapacity == 0)
        return FALSE;
    drive[0] = directory[0] = name[0] = extension[0] = L'\0';
    if (!path)
        return FALSE;

    const wchar_t* rest = path;
    if (path[0] != L'\0' && path[1] == L':')
        rest = path + 2;
    const wchar_t* fileStart = rest;
    const wchar_t* end = rest;
    for (; *end; ++end) {
        if (IsSeparator(*end))
            fileStart = end + 1;
    }
    const wchar_t* dot = end;
    for (const wchar_t* p = fileStart; p < end; ++p) {
        if (*p == L'.')
            dot = p;
    }

    if (CopyPart(path, rest, drive, driveCapacity) && CopyPart(rest, fileStart, directory, directoryCapacity) &&
        CopyPart(fileStart, dot, name, nameCapacity) && CopyPart(dot, end, extension, extensionCapacity))
        return TRUE;
    drive[0] = directory[0] = name[0] = extension[0] = L'\0';
    return FALSE;
}
