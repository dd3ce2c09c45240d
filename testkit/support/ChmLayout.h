#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "chmformat/ChmOffsets.h"

// Where the parts of a sound CHM lie, for tests that damage one of them: the
// headers, the directory's chunks, every entry and the fields of each, as byte
// positions in the file.
class ChmLayout {
public:
    // An encoded integer in the file: where it is, how many bytes it takes, its value.
    struct Field {
        size_t pos = 0;
        size_t size = 0;
        ULONGLONG value = 0;
    };
    struct ListingEntry {
        std::string name;
        DWORD chunk = 0;
        Field nameLength;
        size_t namePos = 0;
        Field section;
        Field offset;
        Field length;
    };
    // A listing chunk's neighbours in the listing, -1 where there is none.
    struct Links {
        LONG previous = -1;
        LONG next = -1;
    };
    struct IndexEntry {
        DWORD chunk = 0;
        Field nameLength;
        Field child;
    };

    // Throws std::runtime_error when the bytes are not a CHM this class can read.
    explicit ChmLayout(const std::string& bytes);

    size_t directoryHeader = 0;   // the ITSP header
    DWORD chunkSize = 0;
    DWORD chunkCount = 0;
    LONG indexRoot = -1;
    LONG firstListing = -1;
    ULONGLONG content = 0;        // where section 0 begins
    std::vector<DWORD> listingChunks;
    std::vector<DWORD> indexChunks;
    std::map<DWORD, Links> links;  // of each listing chunk
    std::vector<ListingEntry> listing;
    std::vector<IndexEntry> index;

    // The listing chunk that has no previous one, where the listing truly
    // begins whatever the header names; -1 when there is none.
    LONG TrueFirstListing() const;
    size_t Chunk(DWORD number) const
    {
        return directoryHeader + ChmItsp::kSize + static_cast<size_t>(number) * chunkSize;
    }
    // Throws when there is no entry of that name.
    const ListingEntry& Entry(const std::string& name) const;
    // Where a stream of section 0 begins in the file.
    size_t StreamAt(const std::string& name) const;

    static const char* const kNameList;
    static const char* const kControlData;
    static const char* const kResetTable;
    static const char* const kContent;
};

// Little-endian writes into a file's bytes.
void PutDword(std::string& bytes, size_t pos, DWORD value);
void PutQword(std::string& bytes, size_t pos, ULONGLONG value);
DWORD GetDword(const std::string& bytes, size_t pos);
ULONGLONG GetQword(const std::string& bytes, size_t pos);
// Rewrites an encoded integer in its own bytes; throws when the value needs more.
void PutEncInt(std::string& bytes, const ChmLayout::Field& field, ULONGLONG value);
