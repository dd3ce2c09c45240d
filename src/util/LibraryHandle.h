#pragma once
#include <windows.h>

// Owns one LoadLibrary reference, dropped with FreeLibrary.
class LibraryHandle {
public:
    LibraryHandle() = default;
    explicit LibraryHandle(HMODULE module) : m_module(module) {}
    LibraryHandle(LibraryHandle&& other) noexcept : m_module(other.detach()) {}
    LibraryHandle& operator=(LibraryHandle&& other) noexcept
    {
        if (this != &other) { reset(other.detach()); }
        return *this;
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    ~LibraryHandle() { reset(); }

    HMODULE get() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }
    HMODULE detach() { HMODULE m = m_module; m_module = nullptr; return m; }
    void reset(HMODULE module = nullptr)
    {
        if (m_module) FreeLibrary(m_module);
        m_module = module;
    }

private:
    HMODULE m_module = nullptr;
};
