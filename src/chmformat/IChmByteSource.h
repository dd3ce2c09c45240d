#pragma once
#include <windows.h>

// What the format room reads a help file through: a file, or a stream a host
// hands over. Every read is exact and bounded by the caller.
class IChmByteSource {
public:
    virtual ~IChmByteSource() = default;
    virtual ULONGLONG Size() const = 0;
    // Exactly count bytes at offset into buffer; false when the source cannot give them
    // (past its end, a short read, a failed seek): a fault of the file, never a crash.
    virtual bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) = 0;
};
