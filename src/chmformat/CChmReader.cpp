#include "chmformat/CChmReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "chmformat/CChmHeaders.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/CLzxDecoder.h"

namespace {
constexpr ULONGLONG kFrameSize = CLzxDecoder::kFrameSize;

// Bytes compared as unsigned, then the shorter first.
int CompareBytes(const char* a, size_t aLength, const char* b, size_t bLength)
{
    const int order = memcmp(a, b, aLength < bLength ? aLength : bLength);
    if (order != 0)
        return order;
    return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}
}  // namespace

CChmReader::CChmReader() = default;
CChmReader::~CChmReader() = default;

ChmFault CChmReader::Open(std::unique_ptr<IChmByteSource> source)
{
    // Once: the listing keeps what a first open found.
    if (!source || m_opened)
        return ChmFault::Unreadable;
    m_opened = true;
    ChmFault fault = CChmStructureCheck::Run(*source, &m_listing, &m_frames);
    if (fault != ChmFault::None)
        return fault;
    // The check read the headers already; where the content begins is all
    // the reads need of them.
    CChmHeaders headers;
    fault = headers.Read(*source);
    if (fault != ChmFault::None)
        return fault;
    m_contentOffset = headers.ContentOffset();
    try {
        m_failed.assign(m_frames.Frames(), false);
        m_byName.resize(m_listing.Count());
        for (size_t i = 0; i < m_byName.size(); ++i)
            m_byName[i] = i;
        std::sort(m_byName.begin(), m_byName.end(), [this](size_t a, size_t b) {
            const int order = CompareBytes(m_listing.NameBytes(a), m_listing.At(a).nameLength, m_listing.NameBytes(b),
                                           m_listing.At(b).nameLength);
            return order < 0 || (order == 0 && a < b);
        });
    } catch (...) {
        return ChmFault::Unreadable;
    }
    m_source = std::move(source);
    return ChmFault::None;
}

int CChmReader::CompareName(size_t entry, const std::string& name) const
{
    return CompareBytes(m_listing.NameBytes(entry), m_listing.At(entry).nameLength, name.data(), name.size());
}

bool CChmReader::Find(const std::string& name, size_t& entry) const
{
    const auto at = std::lower_bound(m_byName.begin(), m_byName.end(), name,
                                     [this](size_t index, const std::string& want) { return CompareName(index, want) < 0; });
    if (at == m_byName.end() || CompareName(*at, name) != 0)
        return false;
    entry = *at;
    return true;
}

ULONGLONG CChmReader::Length(size_t entry) const
{
    return entry < m_listing.Count() ? m_listing.At(entry).length : 0;
}

ULONGLONG CChmReader::FramesDecoded() const
{
    return m_lzx ? m_lzx->FramesDecoded() : 0;
}

ChmFault CChmReader::Read(size_t entry, ULONGLONG offset, void* buffer, DWORD count, DWORD* read)
{
    if (read)
        *read = 0;
    if (!m_source || entry >= m_listing.Count() || !read || (!buffer && count != 0))
        return ChmFault::Unreadable;
    const CChmListing::Entry& listed = m_listing.At(entry);
    if (offset >= listed.length)
        return ChmFault::None;
    const DWORD bytes = listed.length - offset < count ? static_cast<DWORD>(listed.length - offset) : count;
    if (bytes == 0)
        return ChmFault::None;
    // Both fields hold at most 63 bits, as the directory encodes them: the
    // sums below do not overflow.
    ChmFault fault = ChmFault::None;
    if (listed.section == 0) {
        // The structure check bounded the entry within the file.
        if (!m_source->ReadAt(m_contentOffset + listed.offset + offset, buffer, bytes))
            fault = ChmFault::Unreadable;
    } else {
        fault = Compressed(listed.offset + offset, static_cast<BYTE*>(buffer), bytes);
    }
    if (fault == ChmFault::None)
        *read = bytes;
    return fault;
}

ChmFault CChmReader::ReadAll(size_t entry, std::vector<BYTE>& bytes)
{
    bytes.clear();
    if (entry >= m_listing.Count())
        return ChmFault::Unreadable;
    const ULONGLONG length = m_listing.At(entry).length;
    if (length > kMaxStreamBytes)
        return ChmFault::TooLong;
    try {
        bytes.resize(static_cast<size_t>(length));
    } catch (...) {
        return ChmFault::Unreadable;
    }
    DWORD read = 0;
    const ChmFault fault = Read(entry, 0, bytes.data(), static_cast<DWORD>(length), &read);
    if (fault != ChmFault::None)
        bytes.clear();
    return fault;
}

ChmFault CChmReader::Compressed(ULONGLONG position, BYTE* buffer, DWORD count)
{
    if (!m_frames.decodable)
        return ChmFault::Frame;
    while (count > 0) {
        const ULONGLONG frame = position / kFrameSize;
        const DWORD within = static_cast<DWORD>(position % kFrameSize);
        const DWORD piece = kFrameSize - within < count ? static_cast<DWORD>(kFrameSize - within) : count;
        // Frames past the table's last cannot be found.
        if (frame >= m_frames.Frames())
            return ChmFault::Frame;
        const BYTE* bytes = nullptr;
        const ChmFault fault = FrameBytes(static_cast<size_t>(frame), bytes);
        if (fault != ChmFault::None)
            return fault;
        memcpy(buffer, bytes + within, piece);
        buffer += piece;
        position += piece;
        count -= piece;
    }
    return ChmFault::None;
}

ChmFault CChmReader::FrameBytes(size_t frame, const BYTE*& bytes)
{
    KeptFrame& slot = m_kept[frame % kKeptFrames];
    if (!slot.bytes || slot.frame != frame) {
        const ChmFault fault = Decode(frame);
        if (fault != ChmFault::None)
            return fault;
    }
    bytes = slot.bytes.get();
    return ChmFault::None;
}

ChmFault CChmReader::Decode(size_t frame)
{
    if (m_failed[frame])
        return ChmFault::Frame;
    // Made when first needed: a file read from the uncompressed section alone needs none.
    if (!m_lzx)
        m_lzx.reset(new (std::nothrow) CLzxDecoder(m_frames.windowSize));
    if (!m_compressed)
        m_compressed.reset(new (std::nothrow) BYTE[CLzxDecoder::kMaxCompressedFrame]);
    if (!m_lzx || !m_lzx->HasWindow() || !m_compressed)
        return ChmFault::Unreadable;
    for (KeptFrame& kept : m_kept) {
        if (!kept.bytes)
            kept.bytes.reset(new (std::nothrow) BYTE[kFrameSize]);
        if (!kept.bytes)
            return ChmFault::Unreadable;
    }
    // From the last reset point on, or on from the frame decoded last when
    // that lies between, as the component decodes.
    const size_t reset = frame - frame % m_frames.framesPerReset;
    size_t at = m_stateAt;
    if (at <= reset || at > frame) {
        m_lzx->Reset();
        at = reset;
    }
    for (; at <= frame; ++at) {
        const ULONGLONG start = m_frames.frameStarts[at];
        const ULONGLONG end = m_frames.frameStarts[at + 1];
        KeptFrame& slot = m_kept[at % kKeptFrames];
        slot.frame = kNoFrame;
        m_stateAt = kNoFrame;
        // A frame of no bytes, or of more than Wine's component's buffer
        // holds, is never decoded.
        bool decoded = end > start && end - start <= CLzxDecoder::kMaxCompressedFrame;
        if (decoded) {
            const DWORD length = static_cast<DWORD>(end - start);
            const ULONGLONG from = m_frames.contentStart + start;
            if (!m_source->ReadAt(from, m_compressed.get(), length)) {
                // Bytes the file holds but the source did not give: not the frame's fault.
                if (from <= m_source->Size() && length <= m_source->Size() - from)
                    return ChmFault::Unreadable;
                decoded = false;
            } else {
                decoded = m_lzx->Frame(m_compressed.get(), length, slot.bytes.get());
            }
        }
        if (!decoded) {
            // No frame after a failed one decodes until the next reset:
            // remembered, so later reads there fail at once.
            const size_t next = reset + m_frames.framesPerReset;
            const size_t stop = next < m_failed.size() && next > reset ? next : m_failed.size();
            for (size_t k = at; k < stop; ++k)
                m_failed[k] = true;
            return ChmFault::Frame;
        }
        slot.frame = at;
        m_stateAt = at + 1;
    }
    return ChmFault::None;
}
