#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "chmformat/IChmEntrySink.h"

// Every entry of a CHM's directory, in directory order (listing chunks in
// chunk order, entries in chunk order), with its name's bytes as the file
// spells them ("/folder/page.htm", "::DataSpace/..."). Filled by the directory's
// walk; then reads are matched against it as the storage component looks
// names up, and it keeps which streams a walk has handed out, so that the
// crawler reaches what the component's own listing missed, each stream once.
//
// A component finds a stream by a path in UTF-16: it turns each entry's bytes
// into characters and takes the first entry equal to the path without regard
// to case. Two answers follow, each built once in time linear in the entries:
// - the entries alike (LikeGroup): every entry some component may take for a
//   path. Entries are joined when they share any of several readings (UTF-8
//   decoded leniently, with invalid bytes as U+FFFD, once, or dropped; bytes as
//   Latin-1; bytes in the ANSI code page), each folded for case wide enough
//   to cover the Unicode letters whose case lands on ASCII (U+0130, U+0131,
//   U+017F, U+212A). More entries than any one component takes, never fewer.
// - the stream as resolved (MarkMet, NextUnmet): the one reading the storage
//   component takes, measured on Wine's: UTF-8 decoded leniently, up to the
//   first NUL, ASCII letters folded. Distinct names of other scripts stay
//   distinct streams.
class CChmListing : public IChmEntrySink {
public:
    struct Entry {
        size_t nameStart;
        size_t nameLength;
        ULONGLONG section;
        ULONGLONG offset;
        ULONGLONG length;
    };
    // Entry numbers in directory order.
    struct Span {
        const size_t* first;
        const size_t* last;
        const size_t* begin() const { return first; }
        const size_t* end() const { return last; }
        size_t size() const { return static_cast<size_t>(last - first); }
    };
    static constexpr size_t kNone = ~static_cast<size_t>(0);

    CChmListing();
    ~CChmListing();

    size_t Count() const { return m_entries.size(); }
    const Entry& At(size_t index) const { return m_entries[index]; }
    std::string Name(size_t index) const;
    // The name's bytes, At(index).nameLength of them, not terminated.
    const char* NameBytes(size_t index) const { return m_names.data() + m_entries[index].nameStart; }

    // The group of entries some component may take for path ("/folder/page.htm"),
    // kNone when no entry is alike. Throws std::bad_alloc without memory for the index.
    size_t LikeGroup(const std::wstring& path);
    size_t LikeGroups();
    Span LikeMembers(size_t group) const;

    // A new walk: no stream handed out yet.
    void ForgetMet();
    // The walk meets the stream the component gives for path: hands it out,
    // or tries to reach it by that name. False when a path it resolves alike
    // was met already. Throws std::bad_alloc.
    bool MarkMet(const std::wstring& path);
    // The next entry, in directory order, whose stream the walk has not met
    // yet; Count() when none is left. Each entry comes up once per walk.
    size_t NextUnmet();

    // IChmEntrySink
    bool Reserve(ULONGLONG directoryBytes) override;
    bool AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                  ULONGLONG length) override;

private:
    void IndexLike();
    void IndexResolved();
    size_t Root(size_t entry);
    size_t ResolvedSlot(const std::wstring& key);

    std::vector<char> m_names;
    std::vector<Entry> m_entries;

    // Alike: each entry's group, and the groups' members in directory order.
    bool m_likeIndexed = false;
    std::unordered_map<ULONGLONG, size_t> m_likeByKey;
    std::vector<size_t> m_likeGroupOf;
    std::vector<size_t> m_likeStarts;
    std::vector<size_t> m_likeMembers;

    // Resolved: a slot per distinct resolved name, entries' first; met per slot.
    bool m_resolvedIndexed = false;
    std::unordered_map<std::wstring, size_t> m_resolvedSlots;
    std::vector<size_t> m_slotOf;
    std::vector<bool> m_met;
    size_t m_nextUnmet = 0;
};
