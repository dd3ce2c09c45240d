#pragma once
#include <memory>

// An exact-length copy of a string, terminator included; null for a null
// string or when memory runs out (callers that must not go on without it say so).
std::unique_ptr<wchar_t[]> CopyOf(const wchar_t* text);
