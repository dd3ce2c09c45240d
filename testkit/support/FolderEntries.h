#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What FindFirstFileW lists in one folder, without "." and "..", in its order;
// empty when the folder cannot be listed.
std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder);

inline bool IsFolder(const WIN32_FIND_DATAW& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The names of the files and folders that FolderEntries lists.
std::vector<std::wstring> EntryNamesIn(const std::wstring& folder);
// The names of the files (not folders) that FolderEntries lists.
std::vector<std::wstring> FileNamesIn(const std::wstring& folder);
