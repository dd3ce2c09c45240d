#pragma once
#include <windows.h>

// Both separators that Windows accepts between path components.
inline bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Splits a path as the C runtime's _wsplitpath does: the drive ("C:"), the
// directory with its closing separator, the file name, and the extension with
// its dot (from the last dot of the file name). Each part goes into its own
// buffer (capacity in characters, terminator included); a null buffer means the
// part is not wanted, and its capacity is not looked at. 0 when the path is
// null, a wanted buffer has no room, or a part does not fit; all wanted parts
// are then left empty.
BOOL SplitPath(const wchar_t* path, wchar_t* drive, size_t driveCapacity, wchar_t* directory,
               size_t directoryCapacity, wchar_t* name, size_t nameCapacity, wchar_t* extension,
               size_t extensionCapacity);
