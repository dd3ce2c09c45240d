#pragma once
#include <windows.h>

#include <cstddef>

// One key of a chain below HKEY_CLASSES_ROOT\CLSID: its name and, if not null,
// its default value.
struct KeyChainLink {
    const wchar_t* name;
    const wchar_t* value;
};

// Creates HKCR\CLSID\<name 1>\<name 2>\... one key at a time, setting each
// key's default value where one is given. Stops at the first failure.
LONG CreateKeyChain(const KeyChainLink* links, size_t count);

// Deletes a chain made by CreateKeyChain from its deepest key up to
// HKCR\CLSID\<name 1>. Deletes nothing when the deepest key is gone; a key
// that still has other subkeys stays (and ends the routine).
LONG DeleteKeyChain(const KeyChainLink* links, size_t count);

// Sets (model not null) or removes the "ThreadingModel" value of
// HKCR\CLSID\<classId>\InprocServer32.
LONG SetThreadingModel(const wchar_t* classId, const wchar_t* model);
