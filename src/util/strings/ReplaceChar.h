#pragma once
#include <cstddef>

// Replaces every `find` in the string by `replacement`, in place; returns the
// string's length (0 for null).
size_t ReplaceChar(wchar_t* text, wchar_t find, wchar_t replacement);
