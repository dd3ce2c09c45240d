#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The DLLs of other vendors whose code faulted inside a guarded call, kept for
// the life of the process: whatever such a DLL damaged, and the objects of it
// that were abandoned, belong to the whole process, so no filter object calls
// it again. Faulted DLLs are never freed: the record holds a reference of its
// own on each module it knows, so their module handles stay theirs.
// A DLL is known by its module handle where one is known, by the paths that
// name it (the registration's, and the module's own file name), and by the
// module loaded from a path. Filter objects on several threads share it.
class ForeignFaults {
public:
    static ForeignFaults& Process();

    ForeignFaults();
    ~ForeignFaults();
    ForeignFaults(const ForeignFaults&) = delete;
    ForeignFaults& operator=(const ForeignFaults&) = delete;

    // Either may be null.
    void Add(HMODULE module, const wchar_t* path);
    bool Contains(HMODULE module) const;
    // By the path, or by the module loaded from that path. Costs nothing while
    // no DLL has faulted.
    bool Contains(const wchar_t* path) const;

    // Forgets every fault: for tests, which fault the same DLL again and again
    // in one process.
    void ForgetAllForTests();

private:
    bool ContainsLocked(HMODULE module) const;

    mutable CRITICAL_SECTION m_lock;
    volatile LONG m_any = 0;
    std::vector<HMODULE> m_modules;
    std::vector<std::wstring> m_paths;  // upper-cased
};
