#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "chmformat/CChmListing.h"
#include "chmformat/ChmFault.h"
#include "chmformat/ChmFrameTable.h"
#include "chmformat/IChmByteSource.h"

class CLzxDecoder;

// A checked help file, read without the storage component: the streams its
// directory lists, found by their names exactly as the directory spells them;
// the uncompressed section read directly, the compressed one through its
// reset table and our LZX decoder. Memory is the decoder's window, the frames
// kept from the last read and what the caller reads into; the work of a read
// follows the frames it decodes.
class CChmReader {
public:
    // No stream longer than this is ever allocated or handed out whole. Far
    // beyond any page or #SYSTEM a compiler writes (the largest stream of the
    // real files measured is the compressed section itself), and small next to
    // what a search host's process can spare.
    static constexpr ULONGLONG kMaxStreamBytes = 64ull << 20;

    CChmReader();
    ~CChmReader();
    CChmReader(const CChmReader&) = delete;
    CChmReader& operator=(const CChmReader&) = delete;

    // Runs the structure check over the source and keeps it for the reads. None: readable.
    // Once per reader.
    ChmFault Open(std::unique_ptr<IChmByteSource> source);

    // Every directory entry, in directory order (listing chunks in chunk order).
    const CChmListing& Listing() const { return m_listing; }
    // The first entry whose name is exactly these bytes ("/#SYSTEM", "/a/b.htm"); false when none.
    bool Find(const std::string& name, size_t& entry) const;
    ULONGLONG Length(size_t entry) const;

    // Up to count bytes of the entry from offset, clamped to its listed length: *read receives how
    // many (0 at or past its end). A named ChmFault when a frame cannot be decoded or the source
    // fails; None otherwise.
    ChmFault Read(size_t entry, ULONGLONG offset, void* buffer, DWORD count, DWORD* read);
    // The whole entry; a fault (ChmFault::TooLong) without allocating when it is longer than
    // kMaxStreamBytes.
    ChmFault ReadAll(size_t entry, std::vector<BYTE>& bytes);

    // Frames given to the decoder so far: the work the reads took.
    ULONGLONG FramesDecoded() const;

private:
    // As many frames as a read in another page's frame usually finds still
    // decoded: 256 KB.
    static constexpr size_t kKeptFrames = 8;
    static constexpr size_t kNoFrame = ~static_cast<size_t>(0);
    struct KeptFrame {
        size_t frame = kNoFrame;
        std::unique_ptr<BYTE[]> bytes;
    };

    ChmFault Compressed(ULONGLONG position, BYTE* buffer, DWORD count);
    ChmFault FrameBytes(size_t frame, const BYTE*& bytes);
    ChmFault Decode(size_t frame);
    int CompareName(size_t entry, const std::string& name) const;

    bool m_opened = false;
    std::unique_ptr<IChmByteSource> m_source;
    CChmListing m_listing;
    ChmFrameTable m_frames;
    ULONGLONG m_contentOffset = 0;
    // Entry numbers ordered by their names' bytes, then by number.
    std::vector<size_t> m_byName;
    std::unique_ptr<CLzxDecoder> m_lzx;
    std::unique_ptr<BYTE[]> m_compressed;
    // The frames decoded last, each in the slot of its number's remainder.
    KeptFrame m_kept[kKeptFrames];
    // The frame the decoder stands before; none when it must start over.
    size_t m_stateAt = kNoFrame;
    // Per frame: a frame of its reset interval before it or itself failed,
    // so it cannot decode until the next reset.
    std::vector<bool> m_failed;
};
