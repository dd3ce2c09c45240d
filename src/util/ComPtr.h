#pragma once
#include <unknwn.h>

// Owns one COM reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : m_p(p) {}          // takes ownership of a reference already held
    ComPtr(const ComPtr& other) : m_p(other.m_p) { if (m_p) m_p->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept { swap(other); return *this; }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases what is held and hands out the slot for an out parameter.
    T** put() { reset(); return &m_p; }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // Calls a foreign or platform function that fills an out parameter, as
    //   hr = stream.receive([&](IStream** out) { return storage->OpenStream(..., out); });
    // What the call leaves there is owned only when it succeeded: after a failure
    // it may be garbage (Wine leaves some), so it is dropped, never released.
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

    // Gives ownership away.
    T* detach() { T* p = m_p; m_p = nullptr; return p; }

    // Holds p with a reference of its own.
    void copy_from(T* p) { if (p) p->AddRef(); reset(); m_p = p; }

    void reset() { if (m_p) { T* p = m_p; m_p = nullptr; p->Release(); } }
    void swap(ComPtr& other) noexcept { T* p = m_p; m_p = other.m_p; other.m_p = p; }

    template <typename U>
    HRESULT As(ComPtr<U>& out) const
    {
        if (!m_p)
            return E_POINTER;
        return out.receive([this](U** slot) { return m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(slot)); });
    }

private:
    T* m_p = nullptr;
};
