#pragma once
#include <windows.h>

#include <memory>

#include "chmformat/IChmByteSource.h"
#include "util/owners/UniqueHandle.h"

// Reads a file by exact, bounded pieces at given offsets. Small pieces come
// from a window of the file read ahead at once: a help file's headers, the
// directory of a small one and the compressed section's tables lie close
// together, and each read of the file is a call into the system.
class CBoundedFileReader : public IChmByteSource {
public:
    CBoundedFileReader() = default;
    CBoundedFileReader(CBoundedFileReader&&) = default;
    CBoundedFileReader& operator=(CBoundedFileReader&&) = default;

    // Opens for reading. While it is open others may read the file but not
    // write, replace or delete it: the bytes checked stay the bytes the storage
    // component opens after the check.
    bool Open(const wchar_t* path);
    ULONGLONG Size() const override { return m_size; }
    // Exactly count bytes at offset into buffer; false when the file holds fewer.
    bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) override;

    static constexpr DWORD kWindow = 0x8000;

private:
    bool ReadFromFile(ULONGLONG offset, void* buffer, DWORD count) const;

    UniqueHandle m_file;
    ULONGLONG m_size = 0;
    std::unique_ptr<BYTE[]> m_window;
    ULONGLONG m_windowStart = 0;
    DWORD m_windowLength = 0;
};
