#pragma once
#include <windows.h>

#include <map>
#include <string>

// A registry subtree flattened to text, so tests can seed a tree from a table
// and compare a whole tree at once. Each key's path (relative to the subtree's
// root, without a leading "\") maps to its default value, or to kNoValue when
// it has none; a named value appears as "path|name". Values of another type
// than REG_SZ read as "(type N)".
class RegistryTree {
public:
    using Entries = std::map<std::wstring, std::wstring>;
    static constexpr const wchar_t* kNoValue = L"(no value)";

    // Everything below root\path; empty when the key does not exist.
    static Entries Read(HKEY root, const std::wstring& path = L"");
    // Creates the keys and REG_SZ values listed (kNoValue: key only).
    static void Write(HKEY root, const Entries& entries);
};
