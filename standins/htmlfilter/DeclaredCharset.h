#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// The charset a page declares in its head, from <meta charset="..."> or
// <meta http-equiv="Content-Type" content="...; charset=...">, read from the
// page's first bytes; empty when it declares none.
std::string FindDeclaredCharset(const char* bytes, size_t length);

// The Windows code page of a charset name, or 0 when the name is unknown or
// the code page is not installed.
UINT CodePageOfCharset(const std::string& charset);
