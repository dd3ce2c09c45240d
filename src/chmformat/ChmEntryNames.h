#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A stream of a CHM is named two ways: by the storage component, as a folder
// (elements joined by '\', empty at the root) and a name in UTF-16, and by the
// directory, as "/folder/name" in bytes. Components turn the bytes into
// characters in two ways: decoded as UTF-8, or each byte taken as one
// character. These turn one naming into the other, every way it may be read.

// The path by which the component finds a stream ("/a/b/page.htm"), in
// characters, the way the directory spells it in bytes.
std::wstring ChmDirectoryPath(const wchar_t* folder, const wchar_t* name);

// A directory name "/a/b/page.htm" as the component names it: the folder
// "a\b" and the name "page.htm", decoded as UTF-8 or, with bytesAsCharacters,
// byte for byte. False for a name the walk would never hand out: one outside
// the root ("::DataSpace/..."), a storage's own entry (ending in '/'), an empty
// element, ".", "..", '\' or ':' inside an element, or bytes that are not UTF-8.
bool ChmEntryPath(const std::string& entry, bool bytesAsCharacters, std::wstring& folder, std::wstring& name);
