#pragma once
#include <string>

// A '/'-separated path, byte for byte, with Windows' separators.
inline std::wstring WithBackslashes(const std::string& path)
{
    std::wstring out;
    for (char c : path)
        out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

// A Linux path as Wine's Z: drive sees it.
inline std::wstring FromUnix(const char* path)
{
    return L"Z:" + WithBackslashes(path);
}
