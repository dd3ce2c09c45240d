#pragma once
#include <windows.h>

#include "chmformat/IChmByteSource.h"
#include "chmformat/ChmFault.h"

// The file header of a CHM and its directory header, read and checked against
// the file: where the directory's chunks lie, how many there are and which
// ones start the listing and the index, and where the content begins.
class CChmHeaders {
public:
    static constexpr DWORD kMinChunkSize = 0x100;
    static constexpr DWORD kMaxChunkSize = 0x10000;
    // Beyond any help file compiled: a million chunks of the usual 4 KB.
    static constexpr DWORD kMaxChunkCount = 0x100000;

    ChmFault Read(IChmByteSource& file);

    ULONGLONG ChunksOffset() const { return m_chunksOffset; }
    DWORD ChunkSize() const { return m_chunkSize; }
    DWORD ChunkCount() const { return m_chunkCount; }
    LONG FirstListing() const { return m_firstListing; }
    LONG LastListing() const { return m_lastListing; }
    // -1 when the directory has no index chunk.
    LONG IndexRoot() const { return m_indexRoot; }
    ULONGLONG ContentOffset() const { return m_contentOffset; }
    // Bytes from the content's start to the end of the file.
    ULONGLONG ContentRoom() const { return m_contentRoom; }

private:
    ULONGLONG m_chunksOffset = 0;
    DWORD m_chunkSize = 0;
    DWORD m_chunkCount = 0;
    LONG m_firstListing = -1;
    LONG m_lastListing = -1;
    LONG m_indexRoot = -1;
    ULONGLONG m_contentOffset = 0;
    ULONGLONG m_contentRoom = 0;
};
