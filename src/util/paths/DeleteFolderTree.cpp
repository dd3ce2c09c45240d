#include "util/paths/DeleteFolderTree.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#include <new>

#include "util/strings/BoundedString.h"
#include "util/owners/FindHandle.h"
#include "util/paths/FolderFind.h"

namespace {
constexpr size_t kPathCapacity = 2049;
}

void DeleteFolderTree(const wchar_t* folder)
{
    std::unique_ptr<wchar_t[]> pattern(new (std::nothrow) wchar_t[kPathCapacity]);
    std::unique_ptr<wchar_t[]> child(new (std::nothrow) wchar_t[kPathCapacity]);
    if (!pattern || !child || FAILED(BoundedCopy(pattern.get(), kPathCapacity, folder)) ||
        FAILED(BoundedAppend(pattern.get(), kPathCapacity, L"\\*.*")))
        return;
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstEntry(pattern.get(), &entry));
    if (find) {
        do {
            if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0)
                continue;
            if (FAILED(BoundedCopy(child.get(), kPathCapacity, folder)) ||
                FAILED(BoundedAppend(child.get(), kPathCapacity, L"\\")) ||
                FAILED(BoundedAppend(child.get(), kPathCapacity, entry.cFileName)))
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    RemoveDirectoryW(child.get());
                else
                    DeleteFolderTree(child.get());
            } else {
                SetFileAttributesW(child.get(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.get());
            }
        } while (FindNextEntry(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryW(folder);
}
