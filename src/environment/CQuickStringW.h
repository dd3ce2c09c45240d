#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>

// An owned, heap-allocated UTF-16 buffer with room for Capacity() characters
// plus a terminator.
class CQuickStringW {
public:
    CQuickStringW() = default;
    explicit CQuickStringW(size_t count) { Allocate(count); }
    virtual ~CQuickStringW() = default;
    CQuickStringW(const CQuickStringW&) = delete;
    CQuickStringW& operator=(const CQuickStringW&) = delete;
    CQuickStringW(CQuickStringW&& other) noexcept;
    CQuickStringW& operator=(CQuickStringW&& other) noexcept;

    // Room for count + 1 characters, contents undefined; 0 (and no buffer) when
    // the size does not fit in 32 bits or memory runs out.
    BOOL Allocate(size_t count);
    // A copy of the string; a null string leaves the object empty and succeeds.
    BOOL Assign(const wchar_t* text);
    // A copy of the first `count` characters of text, terminated.
    BOOL Assign(const wchar_t* text, size_t count);
    void Release();

    wchar_t* Buffer() { return m_buffer.get(); }
    const wchar_t* Buffer() const { return m_buffer.get(); }
    // The text, or an empty string when there is no buffer.
    const wchar_t* Text() const { return m_buffer ? m_buffer.get() : L""; }
    int Capacity() const { return m_capacity; }

private:
    std::unique_ptr<wchar_t[]> m_buffer;
    int m_capacity = 0;
};
