#include "util/ForeignFaults.h"

#include <algorithm>

namespace {
std::wstring Upper(const wchar_t* path)
{
    std::wstring key(path);
    if (!key.empty())
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}
}  // namespace

void ForeignFaults::Add(HMODULE module, const wchar_t* path)
{
    ++m_count;
    if (module && !Contains(module))
        m_modules.push_back(module);
    if (path && path[0]) {
        std::wstring key = Upper(path);
        if (std::find(m_paths.begin(), m_paths.end(), key) == m_paths.end())
            m_paths.push_back(std::move(key));
    }
}

bool ForeignFaults::Contains(HMODULE module) const
{
    return module && std::find(m_modules.begin(), m_modules.end(), module) != m_modules.end();
}

bool ForeignFaults::Contains(const wchar_t* path) const
{
    if (m_count == 0 || !path || !path[0])
        return false;
    if (!m_paths.empty() && std::find(m_paths.begin(), m_paths.end(), Upper(path)) != m_paths.end())
        return true;
    // A faulted DLL is never freed, so its handle stays the one its path names.
    return !m_modules.empty() && Contains(GetModuleHandleW(path));
}
