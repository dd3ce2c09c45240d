#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "chmformat/IChmEntrySink.h"

// Every entry of a CHM's directory, in directory order (listing chunks in
// chunk order, entries in chunk order), with its name's bytes as the file
// spells them ("/folder/page.htm", "::DataSpace/..."). Filled by the directory's
// walk; then the reads are matched against it as the storage component looks
// names up, and the crawler walks it for what the component's own listing
// missed.
class CChmListing : public IChmEntrySink {
public:
    struct Entry {
        size_t nameStart;
        size_t nameLength;
        ULONGLONG section;
        ULONGLONG offset;
        ULONGLONG length;
    };

    size_t Count() const { return m_entries.size(); }
    const Entry& At(size_t index) const { return m_entries[index]; }
    std::string Name(size_t index) const;
    // The name's bytes, At(index).nameLength of them, not terminated.
    const char* NameBytes(size_t index) const { return m_names.data() + m_entries[index].nameStart; }

    // Every entry the component may take for a name: each whose name equals it
    // without regard to case. Components fold case in their own ways (ASCII
    // letters, Latin-1 letters of bytes taken as characters, Unicode letters of
    // names decoded from UTF-8); here ASCII letters are folded and any two bytes
    // above 0x7F count as alike, which finds at least every entry any of them
    // would. Empty when none.
    std::vector<size_t> NamedLike(const std::string& name);
    // Every entry of exactly this name (a name may be listed twice).
    std::vector<size_t> NamedExactly(const std::string& name);

    // IChmEntrySink
    bool Reserve(ULONGLONG directoryBytes) override;
    bool AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                  ULONGLONG length) override;

private:
    bool Index();
    ULONGLONG LooseHash(const char* name, size_t length) const;
    bool SameLoosely(const Entry& entry, const std::string& name) const;

    std::vector<char> m_names;
    std::vector<Entry> m_entries;
    bool m_indexed = false;
    // Entry numbers ordered by the hash of their loosely folded names.
    std::vector<size_t> m_byHash;
    std::vector<ULONGLONG> m_hashes;
};
