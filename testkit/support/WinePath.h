#pragma once
#include <string>

// A Linux path as Wine's Z: drive sees it.
inline std::wstring FromUnix(const char* path)
{
    std::wstring out = L"Z:";
    for (const char* p = path; *p; ++p)
        out += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return out;
}
