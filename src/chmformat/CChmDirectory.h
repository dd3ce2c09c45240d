#pragma once
#include <windows.h>

#include <memory>

#include "chmformat/IChmByteSource.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/ChmFault.h"
#include "chmformat/IChmEntrySink.h"

// Every chunk of a CHM's directory, read once and checked: each listing and
// index chunk and each of their entries, the chain of listing chunks and the
// index tree. Keeps what the compressed section's check needs: the entries of
// the section's own streams and how far into the section the entries reach.
class CChmDirectory {
public:
    struct Entry {
        bool present = false;
        ULONGLONG section = 0;
        ULONGLONG offset = 0;
        ULONGLONG length = 0;
    };

    // entries, when given, receives every listing entry.
    ChmFault Walk(IChmByteSource& file, const CChmHeaders& headers, IChmEntrySink* entries = nullptr);

    const Entry& NameList() const { return m_nameList; }
    const Entry& ControlData() const { return m_controlData; }
    const Entry& ResetTable() const { return m_resetTable; }
    const Entry& Content() const { return m_content; }
    // Whether an entry has bytes in the compressed section.
    bool CompressedUsed() const { return m_compressedUsed; }

private:
    ChmFault ListingChunk(const BYTE* chunk, DWORD index);
    ChmFault IndexChunk(const BYTE* chunk);
    ChmFault ListingEntry(const BYTE* chunk, DWORD end, DWORD& pos);
    ChmFault Remember(const BYTE* name, ULONGLONG nameLength, const Entry& entry);

    const CChmHeaders* m_headers = nullptr;
    IChmEntrySink* m_entries = nullptr;
    // Per chunk, during the walk: what it is, and the listing chunk it names next.
    std::unique_ptr<BYTE[]> m_flags;
    std::unique_ptr<LONG[]> m_next;
    Entry m_nameList;
    Entry m_controlData;
    Entry m_resetTable;
    Entry m_content;
    bool m_compressedUsed = false;
};
