#pragma once
#include <windows.h>

#include <string>

// Text as UTF-8, so that titles in any script can be compared with literals.
inline std::string Utf8(const std::wstring& text)
{
    std::string out;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(size);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

inline std::wstring FromUtf8(const std::string& text)
{
    std::wstring out;
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    out.resize(size);
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size);
    return out;
}
