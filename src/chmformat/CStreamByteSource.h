#pragma once
#include <windows.h>
#include <objbase.h>

#include "chmformat/IChmByteSource.h"
#include "util/owners/ComPtr.h"

// A help file handed over as a COM stream. Only Seek and Read are used: a
// search host's stream may support nothing else (no Stat, Clone or
// LockRegion). A failed seek or a short read is a fault of the file.
class CStreamByteSource : public IChmByteSource {
public:
    // False when the stream's size cannot be learnt by seeking to its end.
    // Holds its own reference on the stream.
    bool Open(IStream* stream);

    ULONGLONG Size() const override { return m_size; }
    bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) override;

private:
    ComPtr<IStream> m_stream;
    ULONGLONG m_size = 0;
};
