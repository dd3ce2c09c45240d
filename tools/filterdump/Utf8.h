#pragma once
#include <string>

// UTF-16 to UTF-8. A surrogate without its partner becomes U+FFFD, so the
// result is always valid UTF-8, whatever a filter handed out.
std::string ToUtf8(const std::wstring& text);
std::string ToUtf8(const wchar_t* text);
