#pragma once
#include <windows.h>

#include "environment/CQuickStringW.h"

// Searches a text with the user locale's comparison rules and cuts it into
// tokens at a delimiter, consuming it from the front.
class CFindString {
public:
    explicit CFindString(const wchar_t* text);
    virtual ~CFindString() = default;
    CFindString(const CFindString&) = delete;
    CFindString& operator=(const CFindString&) = delete;

    // Position of the first occurrence in the remaining text, or -1.
    int Find(const wchar_t* substring, BOOL caseSensitive) const;
    // The text up to the delimiter (ignoring case), or all of it when the
    // delimiter does not occur; 0 when nothing is left, leaving `out` as it was.
    BOOL NextToken(CQuickStringW* out);
    BOOL SplitBy(const wchar_t* delimiter, CQuickStringW* out);

    const wchar_t* Remaining() const { return m_text.Text(); }

private:
    CQuickStringW m_text;
    CQuickStringW m_delimiter;
};
