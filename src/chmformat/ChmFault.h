#pragma once

// What the structure check found wrong with a CHM, by the part of the file that
// is wrong, or what a read of a stream met. None: the storage component may
// be given the file.
enum class ChmFault {
    None,
    Unreadable,        // the file cannot be opened or read, or no memory is left to check it
    ItsfHeader,        // signature, version or header length; a file shorter than the header
    SectionTable,      // a header section, the directory or the content lies outside the file
    DirectoryHeader,   // the directory header's signature, version or length
    ChunkSize,         // a chunk size no compiler writes
    ChunkCount,        // more chunks than the directory holds
    ListingBounds,     // the first or last listing chunk the header names is no chunk of the directory
    IndexRoot,         // the index root is not a chunk of the directory
    ChunkSignature,    // a chunk that is neither a listing nor an index chunk
    ChunkFreeSpace,    // free space larger than the chunk's room for entries
    EntryCount,        // entries that do not fill the used part exactly, or disagree with the count
    EntryName,         // a name of no bytes, too long, with a NUL, or running past its chunk
    EntrySection,      // a section other than the uncompressed and the compressed one
    EntryBounds,       // an entry's offset and length outside its section
    ChunkChain,        // a next chunk outside the directory, not a listing chunk, or met twice
    IndexChild,        // an index entry naming a chunk outside the directory, the root, or a chunk named before
    SectionEntry,      // an entry of the compressed section's own missing, compressed, or listed twice
    NameList,          // the section names
    ControlData,       // the LZX control data: signature, version, window, reset interval
    ResetTable,        // the LZX reset table: header, entries, lengths
    TooLong,           // a stream longer than a reader hands out whole
    Frame,             // an LZX frame a read needs that cannot be decoded
};

// The fault's name, as tests and tools print it.
inline const char* ChmFaultName(ChmFault fault)
{
    switch (fault) {
    case ChmFault::None: return "None";
    case ChmFault::Unreadable: return "Unreadable";
    case ChmFault::ItsfHeader: return "ItsfHeader";
    case ChmFault::SectionTable: return "SectionTable";
    case ChmFault::DirectoryHeader: return "DirectoryHeader";
    case ChmFault::ChunkSize: return "ChunkSize";
    case ChmFault::ChunkCount: return "ChunkCount";
    case ChmFault::ListingBounds: return "ListingBounds";
    case ChmFault::IndexRoot: return "IndexRoot";
    case ChmFault::ChunkSignature: return "ChunkSignature";
    case ChmFault::ChunkFreeSpace: return "ChunkFreeSpace";
    case ChmFault::EntryCount: return "EntryCount";
    case ChmFault::EntryName: return "EntryName";
    case ChmFault::EntrySection: return "EntrySection";
    case ChmFault::EntryBounds: return "EntryBounds";
    case ChmFault::ChunkChain: return "ChunkChain";
    case ChmFault::IndexChild: return "IndexChild";
    case ChmFault::SectionEntry: return "SectionEntry";
    case ChmFault::NameList: return "NameList";
    case ChmFault::ControlData: return "ControlData";
    case ChmFault::ResetTable: return "ResetTable";
    case ChmFault::TooLong: return "TooLong";
    case ChmFault::Frame: return "Frame";
    }
    return "?";
}
