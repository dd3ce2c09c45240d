#pragma once
#include <windows.h>

#include <cstddef>

// A registry key path below HKEY_CLASSES_ROOT, built in a fixed buffer of 261
// characters. A part that does not fit fails the build of the path instead of
// cutting it: a cut path would name, and then write, some other key.
class KeyPath {
public:
    static constexpr size_t kCapacity = 261;

    KeyPath() = default;
    explicit KeyPath(const wchar_t* start) { Append(start); }

    // Appends text as is; false (and the path unusable) when it does not fit.
    bool Append(const wchar_t* text);
    // Appends "\" and a key name; false when it does not fit.
    bool AppendKey(const wchar_t* name);

    bool Ok() const { return m_ok; }
    const wchar_t* Get() const { return m_path; }

private:
    wchar_t m_path[kCapacity] = {};
    bool m_ok = true;
};
