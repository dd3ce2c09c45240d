#pragma once
#include <windows.h>

// Reads an unsigned decimal number, ignoring white space around it. A '.' ends
// the number (what follows is ignored). 1 for a valid number, empty or blank
// text counting as 0; 0 at any other character, with the digits read so far
// left in `value`. Overflow wraps.
BOOL ParseUnsigned(const wchar_t* text, DWORD* value);
