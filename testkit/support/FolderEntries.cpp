#include "support/FolderEntries.h"

#include <cwchar>

#include "util/owners/FindHandle.h"

std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder)
{
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return entries;
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
            entries.push_back(data);
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

std::vector<std::wstring> EntryNamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder))
        names.push_back(entry.cFileName);
    return names;
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        if (!IsFolder(entry))
            names.push_back(entry.cFileName);
    }
    return names;
}
