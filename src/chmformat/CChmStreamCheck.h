#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "chmformat/CChmListing.h"
#include "chmformat/ChmFrameTable.h"
#include "chmformat/IChmByteSource.h"

class CLzxDecoder;

// Guards each read of a stream through the storage component (a page,
// #SYSTEM, any stream). The component finds a stream by its name without
// regard to case, so every entry of the directory that it may take for that
// name must be safe to read: one in the uncompressed section is (the
// structure check bounded it); for one in the compressed section, the LZX
// frames the component decodes for the read are followed first in our own
// code (see CLzxDecoder), each once, from the reset point the component
// starts from. A read that no entry names, or that needs a frame that does not
// pass, is refused. Set up by the structure check, which fills the listing and
// the frame table as it reads the file, and hands over its reader of the file.
class CChmStreamCheck {
public:
    CChmStreamCheck();
    ~CChmStreamCheck();
    CChmStreamCheck(const CChmStreamCheck&) = delete;
    CChmStreamCheck& operator=(const CChmStreamCheck&) = delete;

    // The directory's entries: filled by the structure check's walk.
    CChmListing& Listing() { return m_listing; }

    // Takes the structure check's reader of the file and the compressed
    // section's frames, once the file passed. False: no memory.
    bool Adopt(std::unique_ptr<IChmByteSource> file, ChmFrameTable frames);

    // Whether the component may read the stream of that name in that folder
    // (elements joined by '\', empty at the root), whose size is size: it
    // reads the low 32 bits' worth. listedBytes receives the most bytes an
    // entry of that name holds: no more need be read, whatever size the
    // component reports.
    bool Allows(const wchar_t* folder, const wchar_t* name, ULONGLONG size, ULONGLONG* listedBytes = nullptr);

    // Frames given to the decoder so far: the work the checks took.
    ULONGLONG FramesDecoded() const;

private:
    enum class FrameState : BYTE { NotFollowed, Passed, Failed };

    bool EntryAllows(const CChmListing::Entry& entry, ULONGLONG readBytes);
    bool FramesPass(size_t first, size_t last);
    bool FramePasses(size_t frame);

    std::unique_ptr<IChmByteSource> m_file;
    CChmListing m_listing;
    ChmFrameTable m_frames;
    std::unique_ptr<CLzxDecoder> m_lzx;
    std::vector<FrameState> m_frameState;
    // The frame the LZX state stands before; none when it must start over.
    static constexpr size_t kNoFrame = ~static_cast<size_t>(0);
    size_t m_stateAt = kNoFrame;
    std::unique_ptr<BYTE[]> m_frame;
};
