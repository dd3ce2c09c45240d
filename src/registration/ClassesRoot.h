#pragma once
#include <windows.h>

#include <cstddef>

#include "util/owners/RegKey.h"

// The few registry operations the registration routines share. Paths are
// below HKEY_CLASSES_ROOT; keys are opened and created with KEY_ALL_ACCESS.
// Every function returns 0 or a Win32 error code.
namespace ClassesRoot {

// Values are read into 261 characters, so a value of up to 260 characters
// always ends in a terminator.
constexpr size_t kValueCapacity = 261;
// A value of the wrong type for a class id or ProgID.
constexpr LONG kWrongType = static_cast<LONG>(E_FAIL);

LONG Open(const wchar_t* path, RegKey& key);
// created (optional) reports whether the key was new.
LONG Create(const wchar_t* path, RegKey& key, bool* created = nullptr);
// Sets a REG_SZ value; name null or empty is the default value.
LONG WriteString(HKEY key, const wchar_t* name, const wchar_t* value);
// Reads the key's default value. found is false when there is none; an empty
// string counts as none, since it names no key. A type other than REG_SZ is
// kWrongType.
LONG ReadDefault(HKEY key, wchar_t (&value)[kValueCapacity], bool& found);
// The same for the named value `name`.
LONG ReadString(HKEY key, const wchar_t* name, wchar_t (&value)[kValueCapacity], bool& found);
// Whether the key has any subkeys (false when that cannot be told).
bool HasSubkeys(HKEY key);
// Whether the key holds no subkeys and no values.
bool IsEmpty(HKEY key);
// Compares class ids and ProgIDs: case does not matter.
bool SameName(const wchar_t* a, const wchar_t* b);
// On 64-bit Windows, HKCR\CLSID has one view for 64-bit and one for 32-bit
// programs, while extension and ProgID keys are shared by both. Whether the other
// view (32-bit for the 64-bit DLL, 64-bit for the 32-bit DLL under WoW64) holds
// HKCR\<path>; always false on 32-bit Windows, which has one view.
bool OtherViewHas(const wchar_t* path);

}  // namespace ClassesRoot
