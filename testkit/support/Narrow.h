#pragma once
#include <string>

// Text for test messages: each character outside ASCII becomes '?'.
inline std::string Narrow(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

inline std::string Narrow(const wchar_t* text)
{
    return text ? Narrow(std::wstring(text)) : std::string("(null)");
}
