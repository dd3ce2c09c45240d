#pragma once
#include <objbase.h>

// Owns a CoTaskMemAlloc block, freed with CoTaskMemFree.
template <typename T = BYTE>
class CoTaskMemBlock {
public:
    CoTaskMemBlock() = default;
    explicit CoTaskMemBlock(T* p) : m_p(p) {}
    CoTaskMemBlock(CoTaskMemBlock&& other) noexcept : m_p(other.detach()) {}
    CoTaskMemBlock& operator=(CoTaskMemBlock&& other) noexcept
    {
        if (this != &other) { reset(other.detach()); }
        return *this;
    }
    CoTaskMemBlock(const CoTaskMemBlock&) = delete;
    CoTaskMemBlock& operator=(const CoTaskMemBlock&) = delete;
    ~CoTaskMemBlock() { reset(); }

    // Replaces what is held by a new block; false when out of memory.
    bool allocate(SIZE_T bytes)
    {
        reset(static_cast<T*>(CoTaskMemAlloc(bytes)));
        return m_p != nullptr;
    }

    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() { reset(); return &m_p; }
    T* detach() { T* p = m_p; m_p = nullptr; return p; }
    // As ComPtr::receive: what a failed call leaves in its out parameter is
    // dropped, never freed.
    template <typename Call>
    HRESULT receive(Call&& call)
    {
        T* raw = nullptr;
        const HRESULT hr = call(&raw);
        reset();
        if (SUCCEEDED(hr))
            m_p = raw;
        return hr;
    }
    void reset(T* p = nullptr)
    {
        if (m_p) CoTaskMemFree(m_p);
        m_p = p;
    }

private:
    T* m_p = nullptr;
};
