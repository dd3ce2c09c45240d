#pragma once
#include <windows.h>

// Owns a LocalAlloc block, freed with LocalFree.
template <typename T = BYTE>
class LocalBlock {
public:
    LocalBlock() = default;
    explicit LocalBlock(T* p) : m_p(p) {}
    LocalBlock(LocalBlock&& other) noexcept : m_p(other.detach()) {}
    LocalBlock& operator=(LocalBlock&& other) noexcept
    {
        if (this != &other) { reset(other.detach()); }
        return *this;
    }
    LocalBlock(const LocalBlock&) = delete;
    LocalBlock& operator=(const LocalBlock&) = delete;
    ~LocalBlock() { reset(); }

    // Replaces what is held by a new zero-filled block; false when out of memory.
    bool allocate(SIZE_T bytes)
    {
        reset(static_cast<T*>(LocalAlloc(LPTR, bytes)));
        return m_p != nullptr;
    }

    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() { reset(); return &m_p; }
    T* detach() { T* p = m_p; m_p = nullptr; return p; }
    void reset(T* p = nullptr)
    {
        if (m_p) LocalFree(m_p);
        m_p = p;
    }

private:
    T* m_p = nullptr;
};
