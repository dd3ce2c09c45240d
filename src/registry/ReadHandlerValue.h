#pragma once
#include <windows.h>

// Reads the default value of the key at keyPath under HKEY_LOCAL_MACHINE as a
// persistent-handler CLSID into out (capacity in characters). Only a value of
// exactly 39 characters with its terminator counts: a braced GUID.
BOOL ReadHandlerValue(const wchar_t* keyPath, wchar_t* out, size_t capacity);
