#include "util/paths/SplitPath.h"

namespace {
struct Part {
    wchar_t* buffer;
    size_t capacity;
};

// A part nobody asked for always fits.
bool CopyPart(const wchar_t* begin, const wchar_t* end, const Part& out)
{
    if (!out.buffer)
        return true;
    const size_t length = static_cast<size_t>(end - begin);
    if (length >= out.capacity)
        return false;
    for (size_t i = 0; i < length; ++i)
        out.buffer[i] = begin[i];
    out.buffer[length] = L'\0';
    return true;
}
}

BOOL SplitPath(const wchar_t* path, wchar_t* drive, size_t driveCapacity, wchar_t* directory,
               size_t directoryCapacity, wchar_t* name, size_t nameCapacity, wchar_t* extension,
               size_t extensionCapacity)
{
    const Part parts[] = {{drive, driveCapacity}, {directory, directoryCapacity}, {name, nameCapacity},
                          {extension, extensionCapacity}};
    for (const Part& part : parts) {
        if (part.buffer && part.capacity == 0)
            return FALSE;
    }
    const auto clear = [&parts]() {
        for (const Part& part : parts) {
            if (part.buffer)
                part.buffer[0] = L'\0';
        }
    };
    clear();
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

    if (CopyPart(path, rest, parts[0]) && CopyPart(rest, fileStart, parts[1]) && CopyPart(fileStart, dot, parts[2]) &&
        CopyPart(dot, end, parts[3]))
        return TRUE;
    clear();
    return FALSE;
}
