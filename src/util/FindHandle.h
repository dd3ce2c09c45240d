#pragma once
#include <windows.h>

// Owns a FindFirstFile search handle.
class FindHandle {
public:
    FindHandle() = default;
    explicit FindHandle(HANDLE h) : m_h(h) {}
    FindHandle(FindHandle&& other) noexcept : m_h(other.detach()) {}
    FindHandle& operator=(FindHandle&& other) noexcept
    {
        if (this != &other) { reset(); m_h = other.detach(); }
        return *this;
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() { reset(); }

    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }
    HANDLE detach() { HANDLE h = m_h; m_h = INVALID_HANDLE_VALUE; return h; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (valid()) FindClose(m_h);
        m_h = h;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};
