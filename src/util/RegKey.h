#pragma once
#include <windows.h>

// Owns an open registry key. Predefined root keys are never closed.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : m_key(key) {}
    RegKey(RegKey&& other) noexcept : m_key(other.detach()) {}
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { reset(); }

    HKEY get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    HKEY* put() { reset(); return &m_key; }
    HKEY detach() { HKEY k = m_key; m_key = nullptr; return k; }
    void reset();

private:
    HKEY m_key = nullptr;
};
