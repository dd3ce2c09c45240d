#include "chmformat/CChmListing.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

namespace {
// Names take less room than the chunks that hold them; an entry takes at
// least a few bytes of its chunk, most take some forty. Beyond a directory of
// 8 MB (some 200,000 entries) the lists grow as they fill.
constexpr ULONGLONG kReserveCap = 8 << 20;
constexpr wchar_t kReplacement = 0xFFFD;

// The bytes turned into characters: as UTF-8, leniently (what is not UTF-8
// becomes U+FFFD, as the platform's decoder makes it), or in a code page. No
// decoding makes more characters than there are bytes.
std::wstring Decoded(const char* bytes, size_t length, UINT codePage)
{
    std::wstring text;
    if (length == 0 || length > static_cast<size_t>(INT_MAX))
        return text;
    text.resize(length);
    const int made =
        MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &text[0], static_cast<int>(length));
    text.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return text;
}

std::wstring Latin1(const char* bytes, size_t length)
{
    std::wstring text(length, L'\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
}

// A component compares names as C strings: nothing after a NUL counts.
void CutAtNul(std::wstring& text)
{
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos)
        text.resize(nul);
}

void FoldAscii(std::wstring& text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
}

// Letters whose case mappings land on ASCII or Latin-1 in some tables and not
// in others (Wine's leave them alone).
wchar_t FoldSpecial(wchar_t c)
{
    switch (c) {
        case 0x0130:
        case 0x0131:
            return L'i';
        case 0x017F:
            return L's';
        case 0x212A:
            return L'k';
        case 0x212B:
            return 0x00E5;
        default:
            return c;
    }
}

// Case folded as widely as any component may: ASCII and Latin-1 by hand
// (whatever the locale), other letters upper-cased then lower-cased by the
// platform, so that letters sharing either case meet; '\' taken for '/'; runs
// of U+FFFD as one, as decoders differ in how many they make of one bad
// sequence. Hashed: keys that collide only join more entries.
ULONGLONG LikeKey(std::wstring text)
{
    CutAtNul(text);
    bool beyondLatin1 = false;
    for (wchar_t& c : text) {
        c = FoldSpecial(c);
        if (c == L'\\')
            c = L'/';
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        // Latin-1 by hand, as the tables fold it: most names need no more.
        else if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
            c = static_cast<wchar_t>(c + 0x20);
        else if (c == 0xB5)
            c = 0x03BC;
        else if (c >= 0x100 && c != kReplacement)
            beyondLatin1 = true;
    }
    if (beyondLatin1) {
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
        for (wchar_t& c : text)
            c = FoldSpecial(c);
    }
    ULONGLONG hash = 0xCBF29CE484222325ull;
    wchar_t previous = 0;
    for (wchar_t c : text) {
        if (c == kReplacement && previous == kReplacement)
            continue;
        previous = c;
        hash ^= static_cast<ULONGLONG>(c);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// The readings of an entry's name some component may take (see the header).
void LikeKeys(const char* bytes, size_t length, ULONGLONG keys[4])
{
    std::wstring utf8 = Decoded(bytes, length, CP_UTF8);
    keys[0] = LikeKey(utf8);
    utf8.erase(std::remove(utf8.begin(), utf8.end(), kReplacement), utf8.end());
    keys[1] = LikeKey(std::move(utf8));
    keys[2] = LikeKey(Latin1(bytes, length));
    keys[3] = LikeKey(Decoded(bytes, length, CP_ACP));
}

std::wstring ResolvedKey(std::wstring text)
{
    CutAtNul(text);
    FoldAscii(text);
    return text;
}
}  // namespace

CChmListing::CChmListing() = default;
CChmListing::~CChmListing() = default;

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
        m_likeIndexed = false;
        m_resolvedIndexed = false;
        return true;
    } catch (...) {
        return false;
    }
}

size_t CChmListing::Root(size_t entry)
{
    // m_likeGroupOf holds parents while the groups are joined.
    while (m_likeGroupOf[entry] != entry) {
        m_likeGroupOf[entry] = m_likeGroupOf[m_likeGroupOf[entry]];
        entry = m_likeGroupOf[entry];
    }
    return entry;
}

void CChmListing::IndexLike()
{
    if (m_likeIndexed)
        return;
    const size_t count = m_entries.size();
    // Every key of every entry, sorted: entries of one key lie side by side.
    std::vector<std::pair<ULONGLONG, size_t>> keys;
    keys.reserve(count * 4);
    for (size_t i = 0; i < count; ++i) {
        ULONGLONG entryKeys[4];
        LikeKeys(m_names.data() + m_entries[i].nameStart, m_entries[i].nameLength, entryKeys);
        for (size_t k = 0; k < 4; ++k) {
            if (std::find(entryKeys, entryKeys + k, entryKeys[k]) == entryKeys + k)
                keys.emplace_back(entryKeys[k], i);
        }
    }
    std::sort(keys.begin(), keys.end());

    // Entries that share a key are joined, each to the lowest of its key.
    m_likeGroupOf.resize(count);
    for (size_t i = 0; i < count; ++i)
        m_likeGroupOf[i] = i;
    for (size_t k = 1; k < keys.size(); ++k) {
        if (keys[k].first != keys[k - 1].first)
            continue;
        const size_t a = Root(keys[k - 1].second);
        const size_t b = Root(keys[k].second);
        if (a != b)
            m_likeGroupOf[std::max(a, b)] = std::min(a, b);
    }
    // A group is numbered by its first entry; members counted, then placed.
    std::vector<size_t> numberOfRoot(count, kNone);
    m_likeStarts.assign(1, 0);
    for (size_t i = 0; i < count; ++i) {
        const size_t root = Root(i);
        if (numberOfRoot[root] == kNone) {
            numberOfRoot[root] = m_likeStarts.size() - 1;
            m_likeStarts.push_back(0);
        }
        ++m_likeStarts[numberOfRoot[root] + 1];
    }
    for (size_t g = 1; g < m_likeStarts.size(); ++g)
        m_likeStarts[g] += m_likeStarts[g - 1];
    std::vector<size_t> filled(m_likeStarts.begin(), m_likeStarts.end() - 1);
    m_likeMembers.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t group = numberOfRoot[Root(i)];
        m_likeMembers[filled[group]++] = i;
    }
    for (size_t i = 0; i < count; ++i)
        m_likeGroupOf[i] = numberOfRoot[Root(i)];

    // Looked up by key: one pair per key, pointing at its group.
    keys.erase(std::unique(keys.begin(), keys.end(),
                           [](const std::pair<ULONGLONG, size_t>& a, const std::pair<ULONGLONG, size_t>& b) {
                               return a.first == b.first;
                           }),
               keys.end());
    m_likeByKey.clear();
    m_likeByKey.reserve(keys.size());
    for (const auto& key : keys)
        m_likeByKey.emplace(key.first, m_likeGroupOf[key.second]);
    m_likeIndexed = true;
}

size_t CChmListing::LikeGroup(const std::wstring& path)
{
    IndexLike();
    const auto found = m_likeByKey.find(LikeKey(path));
    return found == m_likeByKey.end() ? kNone : found->second;
}

size_t CChmListing::LikeGroups()
{
    IndexLike();
    return m_likeStarts.size() - 1;
}

CChmListing::Span CChmListing::LikeMembers(size_t group) const
{
    return {m_likeMembers.data() + m_likeStarts[group], m_likeMembers.data() + m_likeStarts[group + 1]};
}

void CChmListing::IndexResolved()
{
    if (m_resolvedIndexed)
        return;
    m_resolvedSlots.clear();
    m_slotOf.resize(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        std::wstring key =
            ResolvedKey(Decoded(m_names.data() + m_entries[i].nameStart, m_entries[i].nameLength, CP_UTF8));
        m_slotOf[i] = m_resolvedSlots.emplace(std::move(key), m_resolvedSlots.size()).first->second;
    }
    m_met.assign(m_resolvedSlots.size(), false);
    m_nextUnmet = 0;
    m_resolvedIndexed = true;
}

size_t CChmListing::ResolvedSlot(const std::wstring& key)
{
    const auto found = m_resolvedSlots.find(key);
    if (found != m_resolvedSlots.end())
        return found->second;
    // A path no entry resolves to (a component may name a stream its own
    // way): remembered all the same, so that it is handed out once.
    const size_t slot = m_resolvedSlots.size();
    m_met.push_back(false);
    m_resolvedSlots.emplace(key, slot);
    return slot;
}

void CChmListing::ForgetMet()
{
    m_met.assign(m_met.size(), false);
    m_nextUnmet = 0;
}

bool CChmListing::MarkMet(const std::wstring& path)
{
    IndexResolved();
    const size_t slot = ResolvedSlot(ResolvedKey(path));
    if (m_met[slot])
        return false;
    m_met[slot] = true;
    return true;
}

size_t CChmListing::NextUnmet()
{
    IndexResolved();
    while (m_nextUnmet < m_entries.size()) {
        const size_t index = m_nextUnmet++;
        if (!m_met[m_slotOf[index]])
            return index;
    }
    return m_entries.size();
}
