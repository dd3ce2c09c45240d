#pragma once
#include <windows.h>

#include <initializer_list>

// Joins the pieces into out (capacity in characters, terminator included). 0
// when the result does not fit: a cut key path would name another key.
BOOL JoinKeyPath(wchar_t* out, size_t capacity, std::initializer_list<const wchar_t*> pieces);
