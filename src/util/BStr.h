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
    void reset(BSTR s = nullptr)
    {
        if (m_s) SysFreeString(m_s);
        m_s = s;
    }

private:
    BSTR m_s = nullptr;
};
