#include "util/RegKey.h"

#include <cstdint>

namespace {
// HKEY_CLASSES_ROOT .. HKEY_DYN_DATA are sign-extended values 0x80000000..0x80000006.
bool IsPredefined(HKEY key)
{
    const auto value = reinterpret_cast<uintptr_t>(key);
    const auto first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    return value >= first && value <= first + 0x10;
}
}

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        reset();
        m_key = other.detach();
    }
    return *this;
}

void RegKey::reset()
{
    if (m_key && !IsPredefined(m_key))
        RegCloseKey(m_key);
    m_key = nullptr;
}
