#pragma once
#include <cstddef>

// Where each field of a CHM's records lies, in bytes from the record's start:
// named once, for the readers here and for tests that damage one field.

// The file header ("ITSF"), at the start of the file.
namespace ChmItsf {
constexpr size_t kSignature = 0x00;
constexpr size_t kVersion = 0x04;
constexpr size_t kHeaderLength = 0x08;
constexpr size_t kSection0Offset = 0x38;
constexpr size_t kSection0Length = 0x40;
constexpr size_t kDirectoryOffset = 0x48;
constexpr size_t kDirectoryLength = 0x50;
// Version 3 only; before it the content follows the directory.
constexpr size_t kContentOffset = 0x58;
// Wine's storage component reads this much whatever the version.
constexpr size_t kReadSize = 0x60;
}  // namespace ChmItsf

// The directory header ("ITSP"), followed by the directory's chunks.
namespace ChmItsp {
constexpr size_t kSignature = 0x00;
constexpr size_t kVersion = 0x04;
constexpr size_t kHeaderLength = 0x08;
constexpr size_t kChunkSize = 0x10;
constexpr size_t kIndexRoot = 0x1C;
constexpr size_t kFirstListing = 0x20;
constexpr size_t kLastListing = 0x24;
constexpr size_t kChunkCount = 0x2C;
constexpr size_t kSize = 0x54;
}  // namespace ChmItsp

// A listing chunk ("PMGL"): its header, then its entries.
namespace ChmListingChunk {
constexpr size_t kSignature = 0x00;
constexpr size_t kFreeSpace = 0x04;
constexpr size_t kPrevious = 0x0C;
constexpr size_t kNext = 0x10;
constexpr size_t kHeaderSize = 0x14;
}  // namespace ChmListingChunk

// An index chunk ("PMGI"): its header, then its entries.
namespace ChmIndexChunk {
constexpr size_t kSignature = 0x00;
constexpr size_t kFreeSpace = 0x04;
constexpr size_t kHeaderSize = 0x08;
}  // namespace ChmIndexChunk

// The LZX control data of the compressed section ("LZXC").
namespace ChmControlData {
constexpr size_t kSignature = 0x04;
constexpr size_t kVersion = 0x08;
constexpr size_t kResetInterval = 0x0C;
constexpr size_t kWindowSize = 0x10;
constexpr size_t kWindowsPerReset = 0x14;
// Fewer bytes leave the fields unset; the component reads no more than kMaxSize.
constexpr size_t kMinSize = 0x18;
constexpr size_t kMaxSize = 0x100;
}  // namespace ChmControlData

// The reset table's header, followed by its entries of 8 bytes.
namespace ChmResetTable {
constexpr size_t kVersion = 0x00;
constexpr size_t kEntryCount = 0x04;
constexpr size_t kEntrySize = 0x08;
constexpr size_t kTableOffset = 0x0C;
constexpr size_t kUncompressedLength = 0x10;
constexpr size_t kCompressedLength = 0x18;
constexpr size_t kFrameSize = 0x20;
constexpr size_t kHeaderSize = 0x28;
}  // namespace ChmResetTable
