#pragma once
#include <windows.h>

// Splits a path as the C runtime's _wsplitpath does: the drive ("C:"), the
// directory with its closing separator, the file name, and the extension with
// its dot (from the last dot of the file name). Each part goes into its own
// buffer (capacity in characters, terminator included). 0 when the path is null
// or a part does not fit; all four parts are then left empty.
BOOL SplitPath(const wchar_t* path, wchar_t* drive, size_t driveCapacity, wchar_t* directory,
               size_t directoryCapacity, wchar_t* name, size_t nameCapacity, wchar_t* extension,
               size_t extensionCapacity);
