#pragma once
#include <windows.h>

#include "registry/CRegistry.h"

// Reads a string value of an open key into out (capacity in characters,
// terminator included). The stored value may be at most `limit` characters long
// (0: any length), and its text must then fit out. A value stored without a
// terminator is read into a terminated buffer of its own, so nothing is read or
// written past a buffer whatever the registry holds. Without `expandable` the
// value must be REG_SZ or REG_MULTI_SZ (its first string is taken); with it,
// REG_SZ or REG_EXPAND_SZ, and *expandable tells which (references are left
// unexpanded). out and *expandable are written only on success; *stored,
// when given, receives the stored value's length in characters.
BOOL ReadRegistryText(const CRegistry& key, const wchar_t* name, wchar_t* out, size_t capacity, DWORD limit,
                      BOOL* expandable = nullptr, DWORD* stored = nullptr);
