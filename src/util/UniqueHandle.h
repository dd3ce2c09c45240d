#pragma once
#include <windows.h>

// Owns a kernel handle (file, mutex, event, ...). Both null and
// INVALID_HANDLE_VALUE mean "nothing held", since CreateFile and CreateMutex
// report failure differently.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_h(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) { reset(); m_h = other.detach(); }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }
    HANDLE* put() { reset(); return &m_h; }
    HANDLE detach() { HANDLE h = m_h; m_h = nullptr; return h; }
    void reset(HANDLE h = nullptr)
    {
        if (valid()) CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h = nullptr;
};
