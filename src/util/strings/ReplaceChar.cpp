#include "util/strings/ReplaceChar.h"

size_t ReplaceChar(wchar_t* text, wchar_t find, wchar_t replacement)
{
    if (!text)
        return 0;
    size_t length = 0;
    for (; text[length] != L'\0'; ++length) {
        if (text[length] == find)
            text[length] = replacement;
    }
    return length;
}
