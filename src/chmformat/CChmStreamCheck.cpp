#include "chmformat/CChmStreamCheck.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "chmformat/CChmDirectory.h"
#include "chmformat/CLzxFrameCheck.h"

namespace {
constexpr ULONGLONG kReserveCap = 8 << 20;
// The longest folder and name the storage reader hands out, in characters.
constexpr size_t kPartChars = 2048;
// The directory's spelling of a stream: "/folder/name", in UTF-8 (up to three
// bytes a character).
constexpr size_t kPathChars = 2 * kPartChars + 3;
constexpr int kMaxPathBytes = static_cast<int>(3 * kPathChars);

ULONGLONG Hash(const char* data, size_t length)
{
    ULONGLONG hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<BYTE>(data[i]);
        hash *= 0x100000001B3ull;
    }
    return hash;
}
}

CChmStreamCheck::CChmStreamCheck() = default;
CChmStreamCheck::~CChmStreamCheck() = default;

bool CChmStreamCheck::Reserve(ULONGLONG directoryBytes)
{
    // Names take less room than the chunks that hold them; an entry takes at
    // least a few bytes of its chunk, most take some forty. Beyond a directory
    // of 8 MB (some 200,000 entries) the lists grow as they fill.
    const ULONGLONG bytes = directoryBytes < kReserveCap ? directoryBytes : kReserveCap;
    try {
        m_names.reserve(static_cast<size_t>(bytes));
        m_entries.reserve(static_cast<size_t>(bytes / 32));
        return true;
    } catch (...) {
        return false;
    }
}

bool CChmStreamCheck::AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                             ULONGLONG length)
{
    if (length == 0)
        return true;
    try {
        const size_t start = m_names.size();
        m_names.insert(m_names.end(), name, name + nameLength);
        m_entries.push_back({static_cast<DWORD>(start), static_cast<DWORD>(nameLength), section, offset, length});
        return true;
    } catch (...) {
        return false;
    }
}

bool CChmStreamCheck::Adopt(CBoundedFileReader file, const CChmHeaders& headers, ChmFrameTable frames)
{
    m_file = std::move(file);
    m_headers = headers;
    m_frames = std::move(frames);
    try {
        m_frameState.assign(m_frames.frameStarts.empty() ? 0 : m_frames.frameStarts.size() - 1,
                            FrameState::NotFollowed);
        return true;
    } catch (...) {
        return false;
    }
}

void CChmStreamCheck::ListDirectory()
{
    m_listed = true;
    CChmDirectory directory;
    if (directory.Walk(m_file, m_headers, this) != ChmFault::None) {
        // The file changed since its check: nothing is found, every frame is followed.
        m_entries.clear();
        return;
    }
    try {
        m_hashes.resize(m_entries.size());
        m_byHash.resize(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i) {
            m_hashes[i] = Hash(m_names.data() + m_entries[i].nameStart, m_entries[i].nameLength);
            m_byHash[i] = static_cast<DWORD>(i);
        }
        std::sort(m_byHash.begin(), m_byHash.end(), [this](DWORD a, DWORD b) { return m_hashes[a] < m_hashes[b]; });
    } catch (...) {
        m_byHash.clear();
        m_hashes.clear();
    }
}

const CChmStreamCheck::Entry* CChmStreamCheck::Find(const char* name, size_t length)
{
    if (!m_listed && m_lookups++ == 0) {
        CChmDirectory::Entry entry;
        if (!CChmDirectory::Find(m_file, m_headers, reinterpret_cast<const BYTE*>(name), length, entry))
            return nullptr;
        m_found = {0, 0, entry.section, entry.offset, entry.length};
        return &m_found;
    }
    if (!m_listed)
        ListDirectory();
    const auto same = [&](const Entry& entry) {
        return entry.nameLength == length && memcmp(m_names.data() + entry.nameStart, name, length) == 0;
    };
    if (m_byHash.empty()) {
        for (const Entry& entry : m_entries) {
            if (same(entry))
                return &entry;
        }
        return nullptr;
    }
    const ULONGLONG hash = Hash(name, length);
    auto at = std::lower_bound(m_byHash.begin(), m_byHash.end(), hash,
                               [this](DWORD index, ULONGLONG value) { return m_hashes[index] < value; });
    for (; at != m_byHash.end() && m_hashes[*at] == hash; ++at) {
        if (same(m_entries[*at]))
            return &m_entries[*at];
    }
    return nullptr;
}

bool CChmStreamCheck::Allows(const wchar_t* folder, const wchar_t* name, ULONGLONG size)
{
    if (m_frameState.empty() || size == 0)
        return true;
    // The directory's name: "/folder/sub/name", in UTF-8.
    wchar_t path[kPathChars];
    size_t used = 0;
    path[used++] = L'/';
    for (const wchar_t* p = folder; p && *p && used < kPartChars + 1; ++p)
        path[used++] = *p == L'\\' ? L'/' : *p;
    if (used > 1)
        path[used++] = L'/';
    for (const wchar_t* p = name; p && *p && used < 2 * kPartChars + 2; ++p)
        path[used++] = *p;
    char bytes[kMaxPathBytes];
    const int length = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(used), bytes, kMaxPathBytes, nullptr,
                                           nullptr);
    const Entry* entry = length > 0 ? Find(bytes, static_cast<size_t>(length)) : nullptr;
    if (entry && entry->section == 0)
        return true;
    const size_t frames = m_frameState.size();
    // A stream found by no name of the directory may lie anywhere in it.
    if (!entry)
        return FramesPass(0, frames - 1);
    const ULONGLONG first = entry->offset / CLzxFrameCheck::kFrameSize;
    const ULONGLONG last = (entry->offset + entry->length - 1) / CLzxFrameCheck::kFrameSize;
    return last < frames && FramesPass(static_cast<size_t>(first), static_cast<size_t>(last));
}

bool CChmStreamCheck::FramesPass(size_t first, size_t last)
{
    for (size_t frame = first; frame <= last; ++frame) {
        if (!FramePasses(frame))
            return false;
    }
    return true;
}

bool CChmStreamCheck::FramePasses(size_t frame)
{
    if (m_frameState[frame] != FrameState::NotFollowed)
        return m_frameState[frame] == FrameState::Passed;
    // Made when first needed: a title read from the uncompressed section needs none.
    if (!m_lzx)
        m_lzx.reset(new (std::nothrow) CLzxFrameCheck(m_frames.windowSize));
    if (!m_frame)
        m_frame.reset(new (std::nothrow) BYTE[CLzxFrameCheck::kMaxCompressedFrame]);
    if (!m_lzx || !m_frame)
        return false;
    // The component decodes from the last reset point on, or goes on from the
    // frame it decoded last when that lies between.
    const size_t reset = frame - frame % m_frames.framesPerReset;
    size_t at = m_stateAt;
    if (at <= reset || at > frame) {
        m_lzx->Reset();
        at = reset;
    }
    for (; at <= frame; ++at) {
        const ULONGLONG start = m_frames.frameStarts[at];
        const DWORD length = static_cast<DWORD>(m_frames.frameStarts[at + 1] - start);
        if (length > CLzxFrameCheck::kMaxCompressedFrame ||
            !m_file.ReadAt(m_frames.contentStart + start, m_frame.get(), length) ||
            !m_lzx->Frame(m_frame.get(), length)) {
            // No frame after a failed one decodes until the next reset.
            for (size_t k = at; k <= frame; ++k)
                m_frameState[k] = FrameState::Failed;
            m_stateAt = kNoFrame;
            return false;
        }
        m_frameState[at] = FrameState::Passed;
        m_stateAt = at + 1;
    }
    return true;
}
