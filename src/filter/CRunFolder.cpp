#include "filter/CRunFolder.h"

#include <objbase.h>

#include <cwchar>

#include "util/strings/BoundedString.h"
#include "util/paths/DeleteFolderTree.h"

bool CRunFolder::Choose()
{
    Remove();
    std::unique_ptr<wchar_t[]> path(new wchar_t[kPathCapacity]);
    const DWORD length = GetTempPathW(static_cast<DWORD>(kPathCapacity), path.get());
    if (length == 0 || length >= kPathCapacity)
        return false;
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return false;
    FormatName(guid, m_name, kNameCapacity);
    if (path[length - 1] != L'\\' && FAILED(BoundedAppend(path.get(), kPathCapacity, L"\\")))
        return false;
    if (FAILED(BoundedAppend(path.get(), kPathCapacity, m_name)))
        return false;
    m_path = std::move(path);
    return true;
}

bool CRunFolder::Make()
{
    if (!m_path || !CreateDirectoryW(m_path.get(), nullptr))
        return false;
    m_made = true;
    return true;
}

void CRunFolder::Remove()
{
    if (m_made && m_path && m_path[0])
        DeleteFolderTree(m_path.get());
    m_path.reset();
    m_name[0] = L'\0';
    m_made = false;
}

void CRunFolder::FormatName(const GUID& guid, wchar_t* name, size_t capacity)
{
    // Data3 in lower case: the folder names already logged by earlier versions look so.
    swprintf(name, capacity, L"%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
             static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
             guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}
