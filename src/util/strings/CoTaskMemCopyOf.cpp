#include "util/strings/CoTaskMemCopyOf.h"

#include <cwchar>

CoTaskMemBlock<wchar_t> CoTaskMemCopyOf(const wchar_t* text)
{
    if (!text)
        return CoTaskMemBlock<wchar_t>();
    const size_t length = wcslen(text);
    CoTaskMemBlock<wchar_t> copy(static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t))));
    if (copy)
        wmemcpy(copy.get(), text, length + 1);
    return copy;
}
