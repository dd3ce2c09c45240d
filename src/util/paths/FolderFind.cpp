#include "util/paths/FolderFind.h"

namespace {
FindFirstEntryFn g_first = FindFirstFileW;
FindNextEntryFn g_next = FindNextFileW;
}

HANDLE FindFirstEntry(const wchar_t* pattern, WIN32_FIND_DATAW* entry)
{
    return g_first(pattern, entry);
}

BOOL FindNextEntry(HANDLE find, WIN32_FIND_DATAW* entry)
{
    return g_next(find, entry);
}

void SetFolderFind(FindFirstEntryFn first, FindNextEntryFn next)
{
    g_first = first ? first : FindFirstFileW;
    g_next = next ? next : FindNextFileW;
}
