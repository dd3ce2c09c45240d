#include "util/strings/CopyOf.h"

#include <cwchar>
#include <new>

std::unique_ptr<wchar_t[]> CopyOf(const wchar_t* text)
{
    if (!text)
        return nullptr;
    const size_t length = wcslen(text);
    std::unique_ptr<wchar_t[]> copy(new (std::nothrow) wchar_t[length + 1]);
    if (copy)
        wmemcpy(copy.get(), text, length + 1);
    return copy;
}
