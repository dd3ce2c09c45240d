#include "chmformat/CChmStreamCheck.h"

#include <new>
#include <utility>

#include "chmformat/CLzxDecoder.h"
#include "chmformat/ChmEntryNames.h"

CChmStreamCheck::CChmStreamCheck() = default;
CChmStreamCheck::~CChmStreamCheck() = default;

bool CChmStreamCheck::Adopt(std::unique_ptr<IChmByteSource> file, ChmFrameTable frames)
{
    m_file = std::move(file);
    m_frames = std::move(frames);
    try {
        m_frameState.assign(m_frames.Frames(), FrameState::NotFollowed);
        return true;
    } catch (...) {
        return false;
    }
}

ULONGLONG CChmStreamCheck::FramesDecoded() const
{
    return m_lzx ? m_lzx->FramesDecoded() : 0;
}

bool CChmStreamCheck::Allows(const wchar_t* folder, const wchar_t* name, ULONGLONG size, ULONGLONG* listedBytes)
{
    if (listedBytes)
        *listedBytes = 0;
    // The component reads the low 32 bits' worth of the size; a stream of no
    // bytes reads nothing.
    const ULONGLONG readBytes = size & 0xFFFFFFFFull;
    try {
        bool named = false;
        for (const std::string& spelling : ChmEntrySpellings(folder, name)) {
            for (size_t index : m_listing.NamedLike(spelling)) {
                const CChmListing::Entry& entry = m_listing.At(index);
                named = true;
                if (listedBytes && entry.length > *listedBytes)
                    *listedBytes = entry.length;
                if (readBytes != 0 && !EntryAllows(entry, readBytes))
                    return false;
            }
        }
        return named;
    } catch (...) {
        return false;  // no memory to look: refused as unsafe
    }
}

bool CChmStreamCheck::EntryAllows(const CChmListing::Entry& entry, ULONGLONG readBytes)
{
    if (entry.section == 0 || entry.length == 0)
        return true;  // bounded by the structure check
    if (!m_frames.decodable)
        return false;
    const ULONGLONG bytes = entry.length < readBytes ? entry.length : readBytes;
    const ULONGLONG first = entry.offset / CLzxDecoder::kFrameSize;
    // Both fields hold at most 63 bits: the sum does not overflow.
    const ULONGLONG last = (entry.offset + bytes - 1) / CLzxDecoder::kFrameSize;
    return last < m_frameState.size() && FramesPass(static_cast<size_t>(first), static_cast<size_t>(last));
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
        m_lzx.reset(new (std::nothrow) CLzxDecoder(m_frames.windowSize));
    if (!m_frame)
        m_frame.reset(new (std::nothrow) BYTE[CLzxDecoder::kMaxCompressedFrame]);
    if (!m_lzx || !m_lzx->HasWindow() || !m_frame || !m_file)
        return false;
    // The component decodes from the last reset point on, or goes on from the
    // frame it decoded last when that lies between: only those frames are
    // followed, each once.
    const size_t reset = frame - frame % m_frames.framesPerReset;
    size_t at = m_stateAt;
    if (at <= reset || at > frame) {
        m_lzx->Reset();
        at = reset;
    }
    for (; at <= frame; ++at) {
        const ULONGLONG start = m_frames.frameStarts[at];
        const ULONGLONG end = m_frames.frameStarts[at + 1];
        // A frame of no bytes, or of more than the component's buffer holds
        // (its end taken before its start, read as a length, is one), is
        // never given to the component.
        if (end <= start || end - start > CLzxDecoder::kMaxCompressedFrame ||
            !m_file->ReadAt(m_frames.contentStart + start, m_frame.get(), static_cast<DWORD>(end - start)) ||
            !m_lzx->Frame(m_frame.get(), static_cast<DWORD>(end - start))) {
            // No frame after a failed one decodes until the next reset: a
            // later read aimed there fails at once, without decoding from
            // the reset point again.
            const size_t next = reset + m_frames.framesPerReset;
            const size_t stop = next < m_frameState.size() && next > reset ? next : m_frameState.size();
            for (size_t k = at; k < stop; ++k)
                m_frameState[k] = FrameState::Failed;
            m_stateAt = kNoFrame;
            return false;
        }
        m_frameState[at] = FrameState::Passed;
        m_stateAt = at + 1;
    }
    return true;
}
