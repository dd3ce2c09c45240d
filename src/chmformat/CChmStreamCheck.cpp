#include "chmformat/CChmStreamCheck.h"

#include <new>
#include <utility>

#include "chmformat/CChmReader.h"
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
        m_nextNotPassed.resize(m_frames.Frames() + 1);
        for (size_t i = 0; i < m_nextNotPassed.size(); ++i)
            m_nextNotPassed[i] = i;
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
        const size_t group = m_listing.LikeGroup(ChmDirectoryPath(folder, name));
        if (group == CChmListing::kNone)
            return false;
        const GroupVerdict verdict = Verdict(group);
        if (listedBytes)
            *listedBytes = verdict.listedBytes;
        return readBytes <= verdict.safeBytes;
    } catch (...) {
        return false;  // no memory to look: refused as unsafe
    }
}

CChmStreamCheck::GroupVerdict CChmStreamCheck::Verdict(size_t group)
{
    if (m_verdicts.empty())
        m_verdicts.assign(m_listing.LikeGroups(), GroupVerdict{false, 0, 0});
    GroupVerdict& verdict = m_verdicts[group];
    if (verdict.known)
        return verdict;
    verdict.safeBytes = ~0ull;
    for (size_t index : m_listing.LikeMembers(group)) {
        const CChmListing::Entry& entry = m_listing.At(index);
        if (entry.length > verdict.listedBytes)
            verdict.listedBytes = entry.length;
        const ULONGLONG safe = EntrySafeBytes(entry);
        if (safe < verdict.safeBytes)
            verdict.safeBytes = safe;
    }
    verdict.known = true;
    return verdict;
}

ULONGLONG CChmStreamCheck::EntrySafeBytes(const CChmListing::Entry& entry)
{
    if (entry.section == 0 || entry.length == 0)
        return ~0ull;  // bounded by the structure check
    if (!m_frames.decodable)
        return 0;
    // No read takes more than a stream may hold (a longer one is passed over
    // before it is read): the frames of that much of the entry are followed,
    // each once, and a read may reach up to the first that does not pass (or
    // is missing from the table).
    const ULONGLONG bytes = entry.length < CChmReader::kMaxStreamBytes ? entry.length : CChmReader::kMaxStreamBytes;
    const ULONGLONG first = entry.offset / CLzxDecoder::kFrameSize;
    // Both fields hold at most 63 bits: the sum does not overflow.
    const ULONGLONG last = (entry.offset + bytes - 1) / CLzxDecoder::kFrameSize;
    // Frames known to pass are stepped over in one go, however many entries
    // share them.
    for (ULONGLONG frame = NotYetPassed(first); frame <= last; frame = NotYetPassed(frame + 1)) {
        if (frame >= m_frameState.size() || !FramePasses(static_cast<size_t>(frame)))
            return frame == first ? 0 : frame * CLzxDecoder::kFrameSize - entry.offset;
        m_nextNotPassed[static_cast<size_t>(frame)] = static_cast<size_t>(frame) + 1;
    }
    return ~0ull;
}

ULONGLONG CChmStreamCheck::NotYetPassed(ULONGLONG frame)
{
    if (frame >= m_frameState.size())
        return frame;
    size_t at = static_cast<size_t>(frame);
    while (m_nextNotPassed[at] != at)
        at = m_nextNotPassed[at];
    // Every frame on the way points at the end of the run.
    for (size_t step = static_cast<size_t>(frame); m_nextNotPassed[step] != at;) {
        const size_t next = m_nextNotPassed[step];
        m_nextNotPassed[step] = at;
        step = next;
    }
    return at;
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
        // A frame of no bytes, or of more than Wine's component's buffer holds
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
