#pragma once
#include <windows.h>

#include "crawler/CBoundedFileReader.h"
#include "crawler/CChmDirectory.h"
#include "crawler/CChmHeaders.h"
#include "crawler/ChmFault.h"

class CChmPageCheck;

// The compressed section's own streams, checked the way careful readers do
// before they decompress anything: the section names, the LZX control data
// (version, window size, reset interval) and the reset table (its entries,
// each compressed frame's length, the lengths against the frame count), and
// every compressed entry inside the uncompressed length.
class CChmCompressedSection {
public:
    // The frame size of LZX in a CHM, and the most a frame may take compressed:
    // the storage component reads a frame into a buffer of this size.
    static constexpr ULONGLONG kFrameSize = 0x8000;
    static constexpr ULONGLONG kMaxCompressedFrame = kFrameSize + 6144;

    // pages, when given, receives the frames and the LZX parameters.
    ChmFault Check(CBoundedFileReader& file, const CChmHeaders& headers, const CChmDirectory& directory,
                   CChmPageCheck* pages = nullptr);

private:
    ChmFault CheckNameList(CBoundedFileReader& file, const CChmHeaders& headers,
                           const CChmDirectory::Entry& entry, bool compressedUsed) const;
    ChmFault CheckControlData(CBoundedFileReader& file, const CChmHeaders& headers,
                              const CChmDirectory::Entry& entry);
    ChmFault CheckResetTable(CBoundedFileReader& file, const CChmHeaders& headers,
                             const CChmDirectory& directory);

    DWORD m_window = 0;
    DWORD m_framesPerReset = 0;
    CChmPageCheck* m_pages = nullptr;
};
