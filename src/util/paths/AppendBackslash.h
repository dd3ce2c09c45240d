#pragma once
#include <cstddef>

// Ends a folder path with one backslash, within capacity characters; false when
// it is not terminated within the capacity or the backslash does not fit.
bool AppendBackslash(wchar_t* folder, size_t capacity);
