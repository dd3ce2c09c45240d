#include "ChmLayout.h"

#include <stdexcept>

const char* const ChmLayout::kNameList = "::DataSpace/NameList";
const char* const ChmLayout::kControlData = "::DataSpace/Storage/MSCompressed/ControlData";
const char* const ChmLayout::kResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
const char* const ChmLayout::kContent = "::DataSpace/Storage/MSCompressed/Content";

namespace {
ChmLayout::Field ReadEncInt(const std::string& bytes, size_t& pos, size_t end)
{
    ChmLayout::Field field;
    field.pos = pos;
    while (pos < end) {
        const auto byte = static_cast<unsigned char>(bytes[pos++]);
        field.value = field.value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            field.size = pos - field.pos;
            return field;
        }
    }
    throw std::runtime_error("an encoded integer runs past its chunk");
}
}

DWORD GetDword(const std::string& bytes, size_t pos)
{
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(pos + static_cast<size_t>(i)));
    return value;
}

ULONGLONG GetQword(const std::string& bytes, size_t pos)
{
    return static_cast<ULONGLONG>(GetDword(bytes, pos)) | static_cast<ULONGLONG>(GetDword(bytes, pos + 4)) << 32;
}

void PutDword(std::string& bytes, size_t pos, DWORD value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes.at(pos + i) = static_cast<char>(value >> (8 * i) & 0xFF);
}

void PutQword(std::string& bytes, size_t pos, ULONGLONG value)
{
    PutDword(bytes, pos, static_cast<DWORD>(value));
    PutDword(bytes, pos + 4, static_cast<DWORD>(value >> 32));
}

void PutEncInt(std::string& bytes, const ChmLayout::Field& field, ULONGLONG value)
{
    if (field.size < 10 && value >> (7 * field.size) != 0)
        throw std::runtime_error("the value does not fit the field's bytes");
    for (size_t i = 0; i < field.size; ++i) {
        const size_t shift = 7 * (field.size - 1 - i);
        const auto part = static_cast<unsigned char>(value >> shift & 0x7F);
        bytes.at(field.pos + i) = static_cast<char>(i + 1 < field.size ? part | 0x80 : part);
    }
}

ChmLayout::ChmLayout(const std::string& bytes)
{
    if (bytes.size() < ChmItsf::kReadSize || bytes.compare(0, 4, "ITSF") != 0)
        throw std::runtime_error("no ITSF header");
    directoryHeader = static_cast<size_t>(GetQword(bytes, ChmItsf::kDirectoryOffset));
    content = GetDword(bytes, ChmItsf::kVersion) >= 3
                  ? GetQword(bytes, ChmItsf::kContentOffset)
                  : GetQword(bytes, ChmItsf::kDirectoryOffset) + GetQword(bytes, ChmItsf::kDirectoryLength);
    chunkSize = GetDword(bytes, directoryHeader + ChmItsp::kChunkSize);
    indexRoot = static_cast<LONG>(GetDword(bytes, directoryHeader + ChmItsp::kIndexRoot));
    firstListing = static_cast<LONG>(GetDword(bytes, directoryHeader + ChmItsp::kFirstListing));
    chunkCount = GetDword(bytes, directoryHeader + ChmItsp::kChunkCount);
    for (DWORD c = 0; c < chunkCount; ++c) {
        const size_t at = Chunk(c);
        const size_t end = at + chunkSize - GetDword(bytes, at + ChmListingChunk::kFreeSpace);
        if (bytes.compare(at, 4, "PMGL") == 0) {
            listingChunks.push_back(c);
            links[c] = Links{static_cast<LONG>(GetDword(bytes, at + ChmListingChunk::kPrevious)),
                             static_cast<LONG>(GetDword(bytes, at + ChmListingChunk::kNext))};
            for (size_t pos = at + ChmListingChunk::kHeaderSize; pos < end;) {
                ListingEntry entry;
                entry.chunk = c;
                entry.nameLength = ReadEncInt(bytes, pos, end);
                entry.namePos = pos;
                entry.name = bytes.substr(pos, static_cast<size_t>(entry.nameLength.value));
                pos += static_cast<size_t>(entry.nameLength.value);
                entry.section = ReadEncInt(bytes, pos, end);
                entry.offset = ReadEncInt(bytes, pos, end);
                entry.length = ReadEncInt(bytes, pos, end);
                listing.push_back(entry);
            }
        } else if (bytes.compare(at, 4, "PMGI") == 0) {
            indexChunks.push_back(c);
            for (size_t pos = at + ChmIndexChunk::kHeaderSize; pos < end;) {
                IndexEntry entry;
                entry.chunk = c;
                entry.nameLength = ReadEncInt(bytes, pos, end);
                pos += static_cast<size_t>(entry.nameLength.value);
                entry.child = ReadEncInt(bytes, pos, end);
                index.push_back(entry);
            }
        } else {
            throw std::runtime_error("a chunk of no known kind");
        }
    }
}

LONG ChmLayout::TrueFirstListing() const
{
    for (const auto& chunk : links) {
        if (chunk.second.previous == -1)
            return static_cast<LONG>(chunk.first);
    }
    return -1;
}

const ChmLayout::ListingEntry& ChmLayout::Entry(const std::string& name) const
{
    for (const auto& entry : listing) {
        if (entry.name == name)
            return entry;
    }
    throw std::runtime_error("no entry " + name);
}

size_t ChmLayout::StreamAt(const std::string& name) const
{
    return static_cast<size_t>(content + Entry(name).offset.value);
}
