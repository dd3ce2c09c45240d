#pragma once
#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "crawler/CBoundedFileReader.h"
#include "crawler/CChmHeaders.h"
#include "crawler/CLzxFrameCheck.h"

// Before the storage component reads a stream of the compressed section, the
// LZX frames it will decode for that stream are followed in our own code (see
// CLzxFrameCheck), once each, from the reset point the component starts from.
// A stream whose frames do not pass is not read. Set up by the structure
// check, which has read the reset table already. A stream is found in the
// directory by its name: the first lookup (a title read, mostly) reads the
// directory up to it, a second one lists the whole directory once.
class CChmPageCheck {
public:
    CChmPageCheck();
    ~CChmPageCheck();
    CChmPageCheck(const CChmPageCheck&) = delete;
    CChmPageCheck& operator=(const CChmPageCheck&) = delete;

    // Room for the entries of a directory of that many bytes, made once.
    bool Reserve(ULONGLONG directoryBytes);
    // From the directory's walk: every entry with bytes.
    bool AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset, ULONGLONG length);
    // From the compressed section's tables. frameStarts: where each frame
    // begins in the content, then the compressed length.
    bool SetFrames(ULONGLONG contentStart, std::vector<ULONGLONG> frameStarts, DWORD windowSize,
                   DWORD framesPerReset);
    // Takes the structure check's reader of the file and its headers, once
    // the file passed.
    void Adopt(CBoundedFileReader file, const CChmHeaders& headers)
    {
        m_file = std::move(file);
        m_headers = headers;
    }

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

    ULONGLONG m_contentStart = 0;
    std::vector<ULONGLONG> m_frameStarts;
    DWORD m_framesPerReset = 1;
    DWORD m_windowSize = 0;
    std::unique_ptr<CLzxFrameCheck> m_lzx;
    // Per frame: 0 not yet followed, 1 passed, 2 failed.
    std::vector<BYTE> m_frameState;
    // The frame the LZX state stands before; none when it must start over.
    static constexpr size_t kNoFrame = ~static_cast<size_t>(0);
    size_t m_stateAt = kNoFrame;
    std::unique_ptr<BYTE[]> m_frame;
};
