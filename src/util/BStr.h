#pragma once
#include <oleauto.h>

// Owns a BSTR, freed with SysFreeString.
class BStr {
public:
    BStr() = default;
    // Copies text; get() stays null when out of memory.
    explicit BStr(const wchar_t* text) : m_s(SysAllocString(text ? text : L"")) {}
    BStr(BStr&& other) noexcept : m_s(other.detach()) {}
    BStr& operator=(BStr&& other) noexcept
    {
        if (this != &other) { reset(other.detach()); }
        return *this;
    }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    ~BStr() { reset(); }

    BSTR get() const { return m_s; }
    explicit operator bool() const { return m_s != nullptr; }
    BSTR* put() { reset(); return &m_s; }
    BSTR detach() { BSTR s = m_s; m_s = nullptr; return s; }
    // As ComPtr::receive: what a failed call leaves in its out parameter is
    // dropped, never freed.
    template <typename Call>
    HRESULT receive(Call&& call)
    {
        BSTR raw = nullptr;
        const HRESULT hr = call(&raw);
        reset();
        if (SUCCEEDED(hr))
            m_s = raw;
        return hr;
    }
    void reset(BSTR s = nullptr)
    {
        if (m_s) SysFreeString(m_s);
        m_s = s;
    }

private:
    BSTR m_s = nullptr;
};
