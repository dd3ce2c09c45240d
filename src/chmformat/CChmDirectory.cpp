#include "chmformat/CChmDirectory.h"

#include <cstring>
#include <memory>
#include <new>

#include "chmformat/ChmBytes.h"

namespace {
constexpr DWORD kListingHeader = 0x14;
constexpr DWORD kIndexHeader = 0x08;
// The entry count is the last word of a chunk, inside its free space.
constexpr DWORD kCountSize = 2;
// Chunks read at once, as far as they fit in this many bytes: the directory of
// a help file of 10,000 pages in one read. Under Wine each read of the file costs
// about as much as parsing a thousand entries.
constexpr DWORD kReadBytes = 0x80000;

enum : BYTE { kListing = 1, kChild = 2, kChained = 4 };

// An encoded integer of at most nine bytes (63 bits), ending before end.
bool EncInt(const BYTE* data, DWORD end, DWORD& pos, ULONGLONG& value)
{
    value = 0;
    for (int used = 0; used < 9 && pos < end; ++used) {
        const BYTE byte = data[pos++];
        value = value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

// The name of an entry: [pos, pos + length) inside the used part, no NUL.
// Its length has no limit of its own: compilers write names of hundreds of
// bytes (a path of 171 Chinese characters takes 513), and a component that
// cannot take one cuts it short or passes it over.
bool NameFits(const BYTE* data, DWORD end, DWORD pos, ULONGLONG length)
{
    return length != 0 && length <= end - pos && memchr(data + pos, 0, static_cast<size_t>(length)) == nullptr;
}

bool SameName(const BYTE* name, ULONGLONG length, const char* want)
{
    const size_t wantLength = strlen(want);
    if (length != wantLength)
        return false;
    for (size_t i = 0; i < wantLength; ++i) {
        BYTE c = name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<BYTE>(c - 'a' + 'A');
        BYTE w = static_cast<BYTE>(want[i]);
        if (w >= 'a' && w <= 'z')
            w = static_cast<BYTE>(w - 'a' + 'A');
        if (c != w)
            return false;
    }
    return true;
}

// Where the entries of a chunk with this header's free space end; 0 when the
// free space leaves no room for the entry count or runs past the header.
DWORD UsedEnd(const BYTE* chunk, DWORD size, DWORD header)
{
    const DWORD freeSpace = ChmDword(chunk + 4);
    if (freeSpace < kCountSize || freeSpace > size - header)
        return 0;
    return size - freeSpace;
}

// One listing entry at pos, before end: its name and its fields.
ChmFault ReadListingEntry(const BYTE* chunk, DWORD end, DWORD& pos, const BYTE*& name, ULONGLONG& nameLength,
                          CChmDirectory::Entry& entry)
{
    if (!EncInt(chunk, end, pos, nameLength))
        return ChmFault::EntryCount;
    if (!NameFits(chunk, end, pos, nameLength))
        return ChmFault::EntryName;
    name = chunk + pos;
    pos += static_cast<DWORD>(nameLength);
    entry.present = true;
    if (!EncInt(chunk, end, pos, entry.section) || !EncInt(chunk, end, pos, entry.offset) ||
        !EncInt(chunk, end, pos, entry.length))
        return ChmFault::EntryCount;
    return ChmFault::None;
}

}

ChmFault CChmDirectory::Walk(IChmByteSource& file, const CChmHeaders& headers, IChmEntrySink* entries)
{
    m_headers = &headers;
    m_entries = entries;
    const DWORD size = headers.ChunkSize();
    const DWORD count = headers.ChunkCount();
    DWORD perRead = size >= kReadBytes ? 1 : kReadBytes / size;
    if (perRead > count)
        perRead = count;
    std::unique_ptr<BYTE[]> chunks(new (std::nothrow) BYTE[static_cast<size_t>(perRead) * size]);
    m_flags.reset(new (std::nothrow) BYTE[count]());
    m_next.reset(new (std::nothrow) LONG[count]());
    if (!chunks || !m_flags || !m_next || (entries && !entries->Reserve(static_cast<ULONGLONG>(count) * size)))
        return ChmFault::Unreadable;

    for (DWORD first = 0; first < count; first += perRead) {
        const DWORD batch = count - first < perRead ? count - first : perRead;
        if (!file.ReadAt(headers.ChunksOffset() + static_cast<ULONGLONG>(first) * size, chunks.get(), batch * size))
            return ChmFault::Unreadable;
        for (DWORD k = 0; k < batch; ++k) {
            const BYTE* chunk = chunks.get() + static_cast<size_t>(k) * size;
            ChmFault fault = ChmFault::ChunkSignature;
            if (memcmp(chunk, "PMGL", 4) == 0)
                fault = ListingChunk(chunk, first + k);
            else if (memcmp(chunk, "PMGI", 4) == 0)
                fault = IndexChunk(chunk);
            if (fault != ChmFault::None)
                return fault;
        }
    }

    // The component lists from the chunk the header names as the first, each
    // naming the next: every step must land on a listing chunk not met before,
    // so its listing ends. A header that names another kind of chunk (some
    // compilers get the field wrong) only gives the component nothing to
    // list; the last listing chunk the header names plays no part.
    if ((m_flags[static_cast<DWORD>(headers.FirstListing())] & kListing) == 0)
        return ChmFault::None;
    for (LONG at = headers.FirstListing(); at != -1; at = m_next[static_cast<DWORD>(at)]) {
        BYTE& mark = m_flags[static_cast<DWORD>(at)];
        if ((mark & kListing) == 0 || (mark & kChained) != 0)
            return ChmFault::ChunkChain;
        mark |= kChained;
    }
    return ChmFault::None;
}

ChmFault CChmDirectory::ListingChunk(const BYTE* chunk, DWORD index)
{
    const DWORD size = m_headers->ChunkSize();
    const DWORD count = m_headers->ChunkCount();
    const DWORD end = UsedEnd(chunk, size, kListingHeader);
    if (end == 0)
        return ChmFault::ChunkFreeSpace;
    const LONG previous = static_cast<LONG>(ChmDword(chunk + 0x0C));
    const LONG following = static_cast<LONG>(ChmDword(chunk + 0x10));
    if (!ChmIsChunkOrNone(previous, count) || !ChmIsChunkOrNone(following, count))
        return ChmFault::ChunkChain;
    m_flags[index] |= kListing;
    m_next[index] = following;

    DWORD entries = 0;
    for (DWORD pos = kListingHeader; pos < end; ++entries) {
        const ChmFault fault = ListingEntry(chunk, end, pos);
        if (fault != ChmFault::None)
            return fault;
    }
    return entries == ChmWord(chunk + size - kCountSize) ? ChmFault::None : ChmFault::EntryCount;
}

ChmFault CChmDirectory::ListingEntry(const BYTE* chunk, DWORD end, DWORD& pos)
{
    const BYTE* name = nullptr;
    ULONGLONG nameLength = 0;
    Entry entry;
    const ChmFault read = ReadListingEntry(chunk, end, pos, name, nameLength, entry);
    if (read != ChmFault::None)
        return read;
    if (entry.section > 1)
        return ChmFault::EntrySection;
    if (entry.section == 0) {
        if (!ChmInside(entry.offset, entry.length, m_headers->ContentRoom()))
            return ChmFault::EntryBounds;
    } else if (entry.length != 0) {
        m_compressedUsed = true;
    }
    if (m_entries && !m_entries->AddEntry(name, nameLength, entry.section, entry.offset, entry.length))
        return ChmFault::Unreadable;
    return Remember(name, nameLength, entry);
}

ChmFault CChmDirectory::Remember(const BYTE* name, ULONGLONG nameLength, const Entry& entry)
{
    // The section's own streams are named "::DataSpace/...": pages never are.
    if (nameLength < 2 || name[0] != ':' || name[1] != ':')
        return ChmFault::None;
    static const struct {
        const char* name;
        Entry CChmDirectory::*slot;
    } kOwn[] = {
        {"::DataSpace/NameList", &CChmDirectory::m_nameList},
        {"::DataSpace/Storage/MSCompressed/ControlData", &CChmDirectory::m_controlData},
        {"::DataSpace/Storage/MSCompressed/Content", &CChmDirectory::m_content},
        {"::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable",
         &CChmDirectory::m_resetTable},
    };
    for (const auto& own : kOwn) {
        if (!SameName(name, nameLength, own.name))
            continue;
        // The component finds one of two such entries by its own search; the
        // one checked here must be the only one.
        Entry& slot = this->*own.slot;
        if (slot.present)
            return ChmFault::SectionEntry;
        slot = entry;
    }
    return ChmFault::None;
}

ChmFault CChmDirectory::IndexChunk(const BYTE* chunk)
{
    const DWORD size = m_headers->ChunkSize();
    const DWORD count = m_headers->ChunkCount();
    const DWORD end = UsedEnd(chunk, size, kIndexHeader);
    if (end == 0)
        return ChmFault::ChunkFreeSpace;

    DWORD entries = 0;
    for (DWORD pos = kIndexHeader; pos < end; ++entries) {
        ULONGLONG nameLength = 0;
        if (!EncInt(chunk, end, pos, nameLength))
            return ChmFault::EntryCount;
        if (!NameFits(chunk, end, pos, nameLength))
            return ChmFault::EntryName;
        pos += static_cast<DWORD>(nameLength);
        ULONGLONG child = 0;
        if (!EncInt(chunk, end, pos, child))
            return ChmFault::EntryCount;
        // In a tree every chunk has one parent and the root none: a search from
        // the root then ends, whichever way the names lead it.
        if (child >= count || static_cast<LONG>(child) == m_headers->IndexRoot() ||
            (m_flags[static_cast<DWORD>(child)] & kChild) != 0)
            return ChmFault::IndexChild;
        m_flags[static_cast<DWORD>(child)] |= kChild;
    }
    return entries == ChmWord(chunk + size - kCountSize) ? ChmFault::None : ChmFault::EntryCount;
}
