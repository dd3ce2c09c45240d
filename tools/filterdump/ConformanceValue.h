#pragma once
#include <windows.h>
#include <propidl.h>

#include <string>

// Whether a value from GetValue is one a host can take: a PROPVARIANT type
// (alone, as a vector or as an array) and, for the string and class types, a
// pointer to read. problem says what is wrong.
bool IsLegalValue(const PROPVARIANT& value, std::string& problem);

// The value's type and what it holds, to compare two readings: VT_LPWSTR "Title".
// Types that filterdump does not show compare by their type alone.
std::string ValueText(const PROPVARIANT& value);
