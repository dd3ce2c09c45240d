#include "chmformat/ChmEntryNames.h"

namespace {
bool WalkableElement(const std::wstring& element)
{
    return !element.empty() && element != L"." && element != L".." &&
           element.find_first_of(L"\\:") == std::wstring::npos;
}
}  // namespace

std::wstring ChmDirectoryPath(const wchar_t* folder, const wchar_t* name)
{
    std::wstring path = L"/";
    for (const wchar_t* p = folder; p && *p; ++p)
        path += *p == L'\\' ? L'/' : *p;
    if (path.size() > 1)
        path += L'/';
    if (name)
        path += name;
    return path;
}

bool ChmEntryPath(const std::string& entry, bool bytesAsCharacters, std::wstring& folder, std::wstring& name)
{
    if (entry.size() < 2 || entry[0] != '/' || entry.back() == '/')
        return false;
    std::wstring path;
    if (bytesAsCharacters) {
        for (size_t i = 1; i < entry.size(); ++i)
            path += static_cast<wchar_t>(static_cast<unsigned char>(entry[i]));
    } else {
        const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, entry.data() + 1,
                                               static_cast<int>(entry.size() - 1), nullptr, 0);
        if (length <= 0)
            return false;
        path.resize(static_cast<size_t>(length));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, entry.data() + 1, static_cast<int>(entry.size() - 1),
                            &path[0], length);
    }
    folder.clear();
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find(L'/', start);
        const std::wstring element = path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
        if (!WalkableElement(element))
            return false;
        if (slash == std::wstring::npos) {
            name = element;
            return true;
        }
        if (!folder.empty())
            folder += L'\\';
        folder += element;
        start = slash + 1;
    }
}
