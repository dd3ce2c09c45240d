#include "util/CoTaskMemCopyOf.h"

#include <cwchar>

CoTaskMemBlock<wchar_t> CoTaskMemCopyOf(const wchar_t* text)
{
    CoTaskMemBlock<wchar_t> copy;
    if (!text)
        return copy;
    const size_t length = wcslen(text);
    if (copy.allocate((length + 1) * sizeof(wchar_t)))
        wmemcpy(copy.get(), text, length + 1);
    return copy;
}
