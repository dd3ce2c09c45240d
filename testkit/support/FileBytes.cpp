#include "support/FileBytes.h"

#include <windows.h>

#include "support/FolderEntries.h"
#include "util/owners/UniqueHandle.h"

namespace {
void AddFilesBelow(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>& out)
{
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        const std::wstring child = relative.empty() ? entry.cFileName : relative + L"\\" + entry.cFileName;
        if (IsFolder(entry))
            AddFilesBelow(root, child, out);
        else
            out[child] = FileBytes(root + L"\\" + child);
    }
}
}  // namespace

std::string FileBytes(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string bytes(GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

std::map<std::wstring, std::string> FilesBelow(const std::wstring& root)
{
    std::map<std::wstring, std::string> out;
    AddFilesBelow(root, L"", out);
    return out;
}
