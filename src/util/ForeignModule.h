#pragma once
#include <objbase.h>

#include "util/ForeignFaults.h"

// One reference on another vendor's DLL (a page filter's), given back with
// CoFreeLibrary when its page is done. Whoever fills it must have taken that
// reference (CoLoadLibrary, LoadLibrary, GetModuleHandleEx): freeing a
// reference nobody took can unload a DLL that the host or another page still
// uses. Once the DLL has faulted in a call of ours, its abandoned objects may
// still be alive and run its code, so the reference is kept for good: it stays
// loaded for the life of the process.
class ForeignModule {
public:
    ForeignModule() = default;
    explicit ForeignModule(HMODULE module) : m_module(module) {}
    ForeignModule(ForeignModule&& other) noexcept : m_module(other.detach()) {}
    ForeignModule& operator=(ForeignModule&& other) noexcept
    {
        if (this != &other)
            reset(other.detach());
        return *this;
    }
    ForeignModule(const ForeignModule&) = delete;
    ForeignModule& operator=(const ForeignModule&) = delete;
    ~ForeignModule() { reset(); }

    HMODULE get() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }
    bool Faulted() const { return ForeignFaults::Process().Contains(m_module); }
    HMODULE detach()
    {
        HMODULE m = m_module;
        m_module = nullptr;
        return m;
    }
    void reset(HMODULE module = nullptr)
    {
        if (m_module && !Faulted())
            CoFreeLibrary(m_module);
        m_module = module;
    }

private:
    HMODULE m_module = nullptr;
};
