#pragma once
#include <windows.h>

// Little-endian fields of a CHM, read from bytes the caller has bounded.
inline WORD ChmWord(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

inline DWORD ChmDword(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

inline ULONGLONG ChmQword(const BYTE* p)
{
    return static_cast<ULONGLONG>(ChmDword(p)) | static_cast<ULONGLONG>(ChmDword(p + 4)) << 32;
}

// offset + length within size bytes, without overflow.
inline bool ChmInside(ULONGLONG offset, ULONGLONG length, ULONGLONG size)
{
    return offset <= size && length <= size - offset;
}

// A chunk number as the directory stores it (signed, -1 for none): whether it
// names one of count chunks.
inline bool ChmIsChunk(LONG value, DWORD count)
{
    return value >= 0 && static_cast<DWORD>(value) < count;
}

inline bool ChmIsChunkOrNone(LONG value, DWORD count)
{
    return value == -1 || ChmIsChunk(value, count);
}
