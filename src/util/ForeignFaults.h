#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The DLLs of other vendors whose code faulted inside a guarded call, kept for
// the life of one filter object: none of them is called again, their objects
// are abandoned unreleased and they stay loaded. A DLL is known by its module
// handle where the caller has one, and by the path its registration names.
class ForeignFaults {
public:
    // Either may be null.
    void Add(HMODULE module, const wchar_t* path);
    bool Contains(HMODULE module) const;
    // By the path, or by the module loaded from that path. Costs nothing while
    // no DLL has faulted.
    bool Contains(const wchar_t* path) const;
    // How many faults were recorded: a caller compares it before and after
    // its calls to learn whether one of them faulted.
    size_t Count() const { return m_count; }

private:
    std::vector<HMODULE> m_modules;
    std::vector<std::wstring> m_paths;  // upper-cased
    size_t m_count = 0;
};
