#include "crawler/ChmPassedOver.h"

#include <cwchar>

namespace {
bool IsInternalName(const wchar_t* name)
{
    return name && (name[0] == L'#' || name[0] == L'$');
}

// The extension of a name as the C runtime splits it: from the last dot of the
// file name part, dot included; null when there is none.
const wchar_t* ExtensionOf(const wchar_t* name)
{
    const wchar_t* dot = nullptr;
    for (const wchar_t* p = name; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            dot = nullptr;
        else if (*p == L'.')
            dot = p;
    }
    return dot;
}
}  // namespace

bool IsPassedOverChmEntry(const wchar_t* name, const wchar_t* folder)
{
    if (IsInternalName(folder[0] != L'\0' ? folder : name))
        return true;

    const wchar_t* extension = ExtensionOf(name);
    if (!extension || wcslen(extension) != 4)
        return false;
    wchar_t lowered[5];
    wmemcpy(lowered, extension, 5);
    CharLowerW(lowered);
    return wcscmp(lowered, L".css") == 0;
}
