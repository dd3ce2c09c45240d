#pragma once
#include <windows.h>

#include "util/UniqueHandle.h"

// Reads a file by exact, bounded pieces at given offsets.
class CBoundedFileReader {
public:
    CBoundedFileReader() = default;
    CBoundedFileReader(CBoundedFileReader&&) = default;
    CBoundedFileReader& operator=(CBoundedFileReader&&) = default;

    // Opens for reading; others may go on reading, writing or deleting it.
    bool Open(const wchar_t* path);
    ULONGLONG Size() const { return m_size; }
    // Exactly count bytes at offset into buffer; false when the file holds fewer.
    bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) const;

private:
    UniqueHandle m_file;
    ULONGLONG m_size = 0;
};
