#include "ScratchFolder.h"

#include <objbase.h>

#include <stdexcept>

#include "support/FolderEntries.h"
#include "util/owners/UniqueHandle.h"

namespace {
void MakeFolders(const std::wstring& path)
{
    for (size_t pos = path.find(L'\\', 3); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}
}

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t name[64];
    swprintf(name, 64, L"tvx-%08lX%04X", static_cast<unsigned long>(guid.Data1), guid.Data2);
    m_path = std::wstring(temp) + name;
    if (!CreateDirectoryW(m_path.c_str(), nullptr))
        throw std::runtime_error("cannot create scratch folder");
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

std::wstring ScratchFolder::WriteFile(const std::wstring& relative, const std::string& bytes) const
{
    const std::wstring full = *this / relative;
    const size_t slash = full.rfind(L'\\');
    MakeFolders(full.substr(0, slash));
    UniqueHandle file(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot create scratch file");
    DWORD written = 0;
    if (!bytes.empty())
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return full;
}

std::wstring ScratchFolder::MakeFolder(const std::wstring& relative) const
{
    const std::wstring full = *this / relative;
    MakeFolders(full);
    return full;
}

void ScratchFolder::RemoveTree(const std::wstring& path)
{
    for (const WIN32_FIND_DATAW& entry : FolderEntries(path)) {
        const std::wstring child = path + L"\\" + entry.cFileName;
        if (IsFolder(entry)) {
            RemoveTree(child);
        } else {
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(child.c_str());
        }
    }
    RemoveDirectoryW(path.c_str());
}
