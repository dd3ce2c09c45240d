#include "environment/CQuickStringW.h"

#include <climits>
#include <cwchar>
#include <new>

CQuickStringW::CQuickStringW(CQuickStringW&& other) noexcept
    : m_buffer(std::move(other.m_buffer)), m_capacity(other.m_capacity)
{
    other.m_capacity = 0;
}

CQuickStringW& CQuickStringW::operator=(CQuickStringW&& other) noexcept
{
    if (this != &other) {
        m_buffer = std::move(other.m_buffer);
        m_capacity = other.m_capacity;
        other.m_capacity = 0;
    }
    return *this;
}

void CQuickStringW::Release()
{
    m_buffer.reset();
    m_capacity = 0;
}

BOOL CQuickStringW::Allocate(size_t count)
{
    Release();
    // The capacity is a signed 32-bit count and the terminator needs one more.
    if (count >= static_cast<size_t>(INT_MAX))
        return FALSE;
    m_buffer.reset(new (std::nothrow) wchar_t[count + 1]);
    if (!m_buffer)
        return FALSE;
    m_capacity = static_cast<int>(count);
    return TRUE;
}

BOOL CQuickStringW::Assign(const wchar_t* text)
{
    if (!text) {
        Release();
        return TRUE;
    }
    return Assign(text, wcslen(text));
}

BOOL CQuickStringW::Assign(const wchar_t* text, size_t count)
{
    if (!text) {
        Release();
        return TRUE;
    }
    // Build the copy first: text may point into this object's own buffer.
    CQuickStringW copy;
    if (!copy.Allocate(count))
        return FALSE;
    wmemcpy(copy.m_buffer.get(), text, count);
    copy.m_buffer[count] = L'\0';
    *this = std::move(copy);
    return TRUE;
}
