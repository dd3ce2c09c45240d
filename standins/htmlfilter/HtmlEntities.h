#pragma once
#include <cstddef>

// Code point of a named character reference ("amp", "eacute"), 0 when unknown.
unsigned LookupNamedEntity(const wchar_t* name);
// Code point a numeric reference stands for: Windows-1252 for 128 to 159,
// U+FFFD for 0, surrogates and values past U+10FFFF.
unsigned NumericReferenceCode(unsigned long long value);
