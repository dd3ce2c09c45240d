#include "chmformat/CChmHeaders.h"

#include <cstring>

#include "chmformat/ChmBytes.h"
#include "chmformat/ChmOffsets.h"

namespace {
constexpr DWORD kFileHeaderRead = ChmItsf::kReadSize;
constexpr DWORD kDirectoryHeaderSize = ChmItsp::kSize;
}

ChmFault CChmHeaders::Read(IChmByteSource& file)
{
    const ULONGLONG size = file.Size();
    BYTE header[kFileHeaderRead];
    if (size < kFileHeaderRead)
        return ChmFault::ItsfHeader;
    if (!file.ReadAt(0, header, kFileHeaderRead))
        return ChmFault::Unreadable;
    const DWORD version = ChmDword(header + ChmItsf::kVersion);
    const DWORD headerLength = ChmDword(header + ChmItsf::kHeaderLength);
    if (memcmp(header + ChmItsf::kSignature, "ITSF", 4) != 0 || (version != 2 && version != 3) ||
        headerLength < (version == 2 ? 0x58u : 0x60u) || headerLength > size)
        return ChmFault::ItsfHeader;

    const ULONGLONG section0Offset = ChmQword(header + ChmItsf::kSection0Offset);
    const ULONGLONG section0Length = ChmQword(header + ChmItsf::kSection0Length);
    const ULONGLONG directoryOffset = ChmQword(header + ChmItsf::kDirectoryOffset);
    const ULONGLONG directoryLength = ChmQword(header + ChmItsf::kDirectoryLength);
    if (!ChmInside(section0Offset, section0Length, size) || !ChmInside(directoryOffset, directoryLength, size) ||
        directoryLength < kDirectoryHeaderSize)
        return ChmFault::SectionTable;
    // Before version 3 the content follows the directory.
    m_contentOffset = version == 3 ? ChmQword(header + ChmItsf::kContentOffset) : directoryOffset + directoryLength;
    if (m_contentOffset > size)
        return ChmFault::SectionTable;
    m_contentRoom = size - m_contentOffset;

    BYTE directory[kDirectoryHeaderSize];
    if (!file.ReadAt(directoryOffset, directory, kDirectoryHeaderSize))
        return ChmFault::Unreadable;
    if (memcmp(directory + ChmItsp::kSignature, "ITSP", 4) != 0 || ChmDword(directory + ChmItsp::kVersion) != 1 ||
        ChmDword(directory + ChmItsp::kHeaderLength) != kDirectoryHeaderSize)
        return ChmFault::DirectoryHeader;

    m_chunkSize = ChmDword(directory + ChmItsp::kChunkSize);
    if (m_chunkSize < kMinChunkSize || m_chunkSize > kMaxChunkSize)
        return ChmFault::ChunkSize;
    m_chunkCount = ChmDword(directory + ChmItsp::kChunkCount);
    // The count is checked against the directory's bytes before anything is
    // sized by it.
    if (m_chunkCount == 0 || m_chunkCount > kMaxChunkCount ||
        static_cast<ULONGLONG>(m_chunkCount) * m_chunkSize > directoryLength - kDirectoryHeaderSize)
        return ChmFault::ChunkCount;
    m_chunksOffset = directoryOffset + kDirectoryHeaderSize;

    m_indexRoot = static_cast<LONG>(ChmDword(directory + ChmItsp::kIndexRoot));
    m_firstListing = static_cast<LONG>(ChmDword(directory + ChmItsp::kFirstListing));
    m_lastListing = static_cast<LONG>(ChmDword(directory + ChmItsp::kLastListing));
    if (!ChmIsChunk(m_firstListing, m_chunkCount) || !ChmIsChunk(m_lastListing, m_chunkCount))
        return ChmFault::ListingBounds;
    if (m_indexRoot != -1 && !ChmIsChunk(m_indexRoot, m_chunkCount))
        return ChmFault::IndexRoot;
    return ChmFault::None;
}
