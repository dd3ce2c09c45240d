#pragma once
#include <windows.h>

// Reads a value of the extension's key "SOFTWARE\Classes\.<extension>" under
// HKEY_LOCAL_MACHINE (null name: the default value) into out. The stored value
// may be at most `capacity` characters long; REG_SZ or REG_EXPAND_SZ, never
// expanded. The extension comes without its dot.
BOOL ReadExtensionValue(const wchar_t* extension, const wchar_t* valueName, wchar_t* out, size_t capacity);
