#include "chmformat/CChmHeaders.h"

#include <cstring>

#include "chmformat/ChmBytes.h"

namespace {
// The storage component reads this much of the file header whatever its version.
constexpr DWORD kFileHeaderRead = 0x60;
constexpr DWORD kDirectoryHeaderSize = 0x54;
}

ChmFault CChmHeaders::Read(IChmByteSource& file)
{
    const ULONGLONG size = file.Size();
    BYTE header[kFileHeaderRead];
    if (size < kFileHeaderRead)
        return ChmFault::ItsfHeader;
    if (!file.ReadAt(0, header, kFileHeaderRead))
        return ChmFault::Unreadable;
    const DWORD version = ChmDword(header + 4);
    const DWORD headerLength = ChmDword(header + 8);
    if (memcmp(header, "ITSF", 4) != 0 || (version != 2 && version != 3) ||
        headerLength < (version == 2 ? 0x58u : 0x60u) || headerLength > size)
        return ChmFault::ItsfHeader;

    const ULONGLONG section0Offset = ChmQword(header + 0x38);
    const ULONGLONG section0Length = ChmQword(header + 0x40);
    const ULONGLONG directoryOffset = ChmQword(header + 0x48);
    const ULONGLONG directoryLength = ChmQword(header + 0x50);
    if (!ChmInside(section0Offset, section0Length, size) || !ChmInside(directoryOffset, directoryLength, size) ||
        directoryLength < kDirectoryHeaderSize)
        return ChmFault::SectionTable;
    // Before version 3 the content follows the directory.
    m_contentOffset = version == 3 ? ChmQword(header + 0x58) : directoryOffset + directoryLength;
    if (m_contentOffset > size)
        return ChmFault::SectionTable;
    m_contentRoom = size - m_contentOffset;

    BYTE directory[kDirectoryHeaderSize];
    if (!file.ReadAt(directoryOffset, directory, kDirectoryHeaderSize))
        return ChmFault::Unreadable;
    if (memcmp(directory, "ITSP", 4) != 0 || ChmDword(directory + 4) != 1 ||
        ChmDword(directory + 8) != kDirectoryHeaderSize)
        return ChmFault::DirectoryHeader;

    m_chunkSize = ChmDword(directory + 0x10);
    if (m_chunkSize < kMinChunkSize || m_chunkSize > kMaxChunkSize)
        return ChmFault::ChunkSize;
    m_chunkCount = ChmDword(directory + 0x2C);
    // The count is checked against the directory's bytes before anything is
    // sized by it.
    if (m_chunkCount == 0 || m_chunkCount > kMaxChunkCount ||
        static_cast<ULONGLONG>(m_chunkCount) * m_chunkSize > directoryLength - kDirectoryHeaderSize)
        return ChmFault::ChunkCount;
    m_chunksOffset = directoryOffset + kDirectoryHeaderSize;

    m_indexRoot = static_cast<LONG>(ChmDword(directory + 0x1C));
    m_firstListing = static_cast<LONG>(ChmDword(directory + 0x20));
    m_lastListing = static_cast<LONG>(ChmDword(directory + 0x24));
    if (!ChmIsChunk(m_firstListing, m_chunkCount) || !ChmIsChunk(m_lastListing, m_chunkCount))
        return ChmFault::ListingBounds;
    if (m_indexRoot != -1 && !ChmIsChunk(m_indexRoot, m_chunkCount))
        return ChmFault::IndexRoot;
    return ChmFault::None;
}
