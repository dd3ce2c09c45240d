#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/ChmFrameTable.h"
#include "chmformat/IChmEntrySink.h"

class CLzxFrameCheck;

// Before the storage component reads a stream of the compressed section (a
// page, #SYSTEM, any stream), the LZX frames it will decode for that stream
// are followed in our own code (see CLzxFrameCheck), once each, from the reset
// point the component starts from. A stream whose frames do not pass is not
// read. Set up by the structure check, which has read the reset table
// already. A stream is found in the directory by its name: the first lookup (a
// title read, mostly) reads the directory up to it, a second one lists the
// whole directory once.
class CChmStreamCheck : private IChmEntrySink {
public:
    CChmStreamCheck();
    ~CChmStreamCheck();
    CChmStreamCheck(const CChmStreamCheck&) = delete;
    CChmStreamCheck& operator=(const CChmStreamCheck&) = delete;

    // Takes the structure check's reader of the file, its headers and the
    // compressed section's frames, once the file passed. False: no memory.
    bool Adopt(CBoundedFileReader file, const CChmHeaders& headers, ChmFrameTable frames);

    // Whether the component may read the stream of that name in that folder
    // (elements joined by '\', empty at the root), which holds size bytes.
    bool Allows(const wchar_t* folder, const wchar_t* name, ULONGLONG size);

private:
    struct Entry {
        DWORD nameStart;
        DWORD nameLength;
        ULONGLONG section;
        ULONGLONG offset;
        ULONGLONG length;
    };
    enum class FrameState : BYTE { NotFollowed, Passed, Failed };

    // IChmEntrySink, for the directory's walk: every entry with bytes.
    bool Reserve(ULONGLONG directoryBytes) override;
    bool AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                  ULONGLONG length) override;

    const Entry* Find(const char* name, size_t length);
    void ListDirectory();
    bool FramesPass(size_t first, size_t last);
    bool FramePasses(size_t frame);

    CBoundedFileReader m_file;
    CChmHeaders m_headers;
    bool m_listed = false;
    Entry m_found = {};
    std::vector<char> m_names;
    std::vector<Entry> m_entries;
    // Entry numbers ordered by their names' hashes.
    std::vector<DWORD> m_byHash;
    std::vector<ULONGLONG> m_hashes;
    DWORD m_lookups = 0;

    ChmFrameTable m_frames;
    std::unique_ptr<CLzxFrameCheck> m_lzx;
    std::vector<FrameState> m_frameState;
    // The frame the LZX state stands before; none when it must start over.
    static constexpr size_t kNoFrame = ~static_cast<size_t>(0);
    size_t m_stateAt = kNoFrame;
    std::unique_ptr<BYTE[]> m_frame;
};
