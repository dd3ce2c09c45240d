#pragma once
#include <windows.h>

// 1 when the path names an existing entry that is not a folder, else 0. Paths
// of MAX_PATH characters or more always count as missing.
BOOL FileExists(const wchar_t* path);
