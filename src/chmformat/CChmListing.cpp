#include "chmformat/CChmListing.h"

#include <algorithm>
#include <cstring>

namespace {
// Names take less room than the chunks that hold them; an entry takes at
// least a few bytes of its chunk, most take some forty. Beyond a directory of
// 8 MB (some 200,000 entries) the lists grow as they fill.
constexpr ULONGLONG kReserveCap = 8 << 20;

// A byte as the loose comparison sees it.
unsigned char Loose(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 'a' + 'A');
    return c >= 0x80 ? 0x80 : c;
}
}  // namespace

std::string CChmListing::Name(size_t index) const
{
    const Entry& entry = m_entries[index];
    return std::string(m_names.data() + entry.nameStart, entry.nameLength);
}

bool CChmListing::Reserve(ULONGLONG directoryBytes)
{
    const ULONGLONG bytes = directoryBytes < kReserveCap ? directoryBytes : kReserveCap;
    try {
        m_names.reserve(static_cast<size_t>(bytes));
        m_entries.reserve(static_cast<size_t>(bytes / 32));
        return true;
    } catch (...) {
        return false;
    }
}

bool CChmListing::AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                           ULONGLONG length)
{
    try {
        const size_t start = m_names.size();
        m_names.insert(m_names.end(), name, name + nameLength);
        m_entries.push_back({start, static_cast<size_t>(nameLength), section, offset, length});
        m_indexed = false;
        return true;
    } catch (...) {
        return false;
    }
}

ULONGLONG CChmListing::LooseHash(const char* name, size_t length) const
{
    ULONGLONG hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < length; ++i) {
        hash ^= Loose(static_cast<unsigned char>(name[i]));
        hash *= 0x100000001B3ull;
    }
    return hash;
}

bool CChmListing::SameLoosely(const Entry& entry, const std::string& name) const
{
    if (entry.nameLength != name.size())
        return false;
    const char* bytes = m_names.data() + entry.nameStart;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Loose(static_cast<unsigned char>(bytes[i])) != Loose(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

bool CChmListing::Index()
{
    if (m_indexed)
        return true;
    try {
        m_hashes.resize(m_entries.size());
        m_byHash.resize(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i) {
            m_hashes[i] = LooseHash(m_names.data() + m_entries[i].nameStart, m_entries[i].nameLength);
            m_byHash[i] = i;
        }
        std::sort(m_byHash.begin(), m_byHash.end(), [this](size_t a, size_t b) { return m_hashes[a] < m_hashes[b]; });
        m_indexed = true;
        return true;
    } catch (...) {
        m_hashes.clear();
        m_byHash.clear();
        return false;
    }
}

std::vector<size_t> CChmListing::NamedLike(const std::string& name)
{
    std::vector<size_t> found;
    if (!Index()) {
        // No memory for the index: the slow way, still every entry.
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (SameLoosely(m_entries[i], name))
                found.push_back(i);
        }
        return found;
    }
    const ULONGLONG hash = LooseHash(name.data(), name.size());
    auto at = std::lower_bound(m_byHash.begin(), m_byHash.end(), hash,
                               [this](size_t index, ULONGLONG value) { return m_hashes[index] < value; });
    for (; at != m_byHash.end() && m_hashes[*at] == hash; ++at) {
        if (SameLoosely(m_entries[*at], name))
            found.push_back(*at);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<size_t> CChmListing::NamedExactly(const std::string& name)
{
    std::vector<size_t> found;
    for (size_t index : NamedLike(name)) {
        const Entry& entry = m_entries[index];
        if (memcmp(m_names.data() + entry.nameStart, name.data(), name.size()) == 0)
            found.push_back(index);
    }
    return found;
}
