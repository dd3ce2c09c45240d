#include "chmformat/CStreamByteSource.h"

bool CStreamByteSource::Open(IStream* stream)
{
    m_stream.reset();
    m_size = 0;
    if (!stream)
        return false;
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER end = {};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end)))
        return false;
    m_stream.copy_from(stream);
    m_size = end.QuadPart;
    return true;
}

bool CStreamByteSource::ReadAt(ULONGLONG offset, void* buffer, DWORD count)
{
    if (!m_stream || offset > m_size || count > m_size - offset)
        return false;
    if (count == 0)
        return true;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    ULARGE_INTEGER landed = {};
    if (FAILED(m_stream->Seek(at, STREAM_SEEK_SET, &landed)) || landed.QuadPart != offset)
        return false;
    // A stream may give fewer bytes than asked and more on the next call; none
    // at all, or a count beyond what was asked, is a fault.
    BYTE* next = static_cast<BYTE*>(buffer);
    for (DWORD left = count; left > 0;) {
        ULONG read = 0;
        if (FAILED(m_stream->Read(next, left, &read)) || read == 0 || read > left)
            return false;
        next += read;
        left -= read;
    }
    return true;
}
