#pragma once
#include <windows.h>

// Copy, append and measure UTF-16 strings in fixed buffers. Capacities count
// characters including the terminator. Never writes past the capacity, always
// leaves the destination terminated when anything is written, and reports a cut
// as STRSAFE's insufficient-buffer code.
constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);
constexpr size_t kMaxBoundedCapacity = 0x7FFFFFFF;

HRESULT BoundedCopy(wchar_t* dest, size_t capacity, const wchar_t* src);
HRESULT BoundedAppend(wchar_t* dest, size_t capacity, const wchar_t* src);
HRESULT BoundedLength(const wchar_t* str, size_t capacity, size_t* length);
