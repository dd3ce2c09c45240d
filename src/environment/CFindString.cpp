#include "environment/CFindString.h"

#include <climits>
#include <cwchar>

CFindString::CFindString(const wchar_t* text)
{
    m_text.Assign(text);
}

int CFindString::Find(const wchar_t* substring, BOOL caseSensitive) const
{
    if (!substring)
        return -1;
    const size_t n = wcslen(m_text.Text());
    const size_t m = wcslen(substring);
    if (n == 0 || m == 0 || m > n || n > static_cast<size_t>(INT_MAX))
        return -1;
    const DWORD flags = caseSensitive ? 0 : NORM_IGNORECASE;
    const wchar_t* text = m_text.Text();
    for (size_t i = 0; i + m <= n; ++i) {
        if (CompareStringW(LOCALE_USER_DEFAULT, flags, text + i, static_cast<int>(m), substring,
                           static_cast<int>(m)) == CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

BOOL CFindString::NextToken(CQuickStringW* out)
{
    if (!out)
        return FALSE;
    const wchar_t* text = m_text.Text();
    const size_t n = wcslen(text);
    if (n == 0)
        return FALSE;

    const int found = Find(m_delimiter.Text(), FALSE);
    const size_t tokenLength = found < 0 ? n : static_cast<size_t>(found);
    const size_t restStart = found < 0 ? n : tokenLength + wcslen(m_delimiter.Text());

    CQuickStringW token;
    CQuickStringW rest;
    if (!token.Assign(text, tokenLength) || !rest.Assign(text + restStart, n - restStart))
        return FALSE;
    m_text = std::move(rest);
    *out = std::move(token);
    return TRUE;
}

BOOL CFindString::SplitBy(const wchar_t* delimiter, CQuickStringW* out)
{
    if (!m_delimiter.Assign(delimiter))
        return FALSE;
    return NextToken(out);
}
