#pragma once
#include <objbase.h>

// Owns one reference on a DLL that is given back with CoFreeLibrary: the module
// of a page filter, freed as soon as its page is done. Whoever fills it must
// have taken that reference (CoLoadLibrary, LoadLibrary): freeing a reference
// nobody took can unload a DLL that the host or another page still uses.
class CoLibraryHandle {
public:
    CoLibraryHandle() = default;
    explicit CoLibraryHandle(HMODULE module) : m_module(module) {}
    CoLibraryHandle(CoLibraryHandle&& other) noexcept : m_module(other.detach()) {}
    CoLibraryHandle& operator=(CoLibraryHandle&& other) noexcept
    {
        if (this != &other) { reset(other.detach()); }
        return *this;
    }
    CoLibraryHandle(const CoLibraryHandle&) = delete;
    CoLibraryHandle& operator=(const CoLibraryHandle&) = delete;
    ~CoLibraryHandle() { reset(); }

    HMODULE get() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }
    HMODULE detach() { HMODULE m = m_module; m_module = nullptr; return m; }
    void reset(HMODULE module = nullptr)
    {
        if (m_module) CoFreeLibrary(m_module);
        m_module = module;
    }

private:
    HMODULE m_module = nullptr;
};
