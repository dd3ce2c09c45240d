#include "environment/ParseUnsigned.h"

#include <cwchar>
#include <cwctype>

BOOL ParseUnsigned(const wchar_t* text, DWORD* value)
{
    if (!text || !value)
        return FALSE;
    *value = 0;

    const wchar_t* begin = text;
    const wchar_t* end = text + wcslen(text);
    while (end > begin && iswspace(end[-1]))
        --end;
    while (begin < end && iswspace(*begin))
        ++begin;

    DWORD number = 0;
    for (const wchar_t* p = begin; p < end; ++p) {
        if (*p == L'.')
            break;
        if (*p < L'0' || *p > L'9') {
            *value = number;
            return FALSE;
        }
        number = number * 10u + static_cast<DWORD>(*p - L'0');
    }
    *value = number;
    return TRUE;
}
