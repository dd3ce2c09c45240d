#pragma once
#include <windows.h>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmDirectory.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/ChmFault.h"
#include "chmformat/ChmFrameTable.h"

// The compressed section's own streams, checked the way careful readers do
// before they decompress anything: the section names, the LZX control data
// (version, window size, reset interval) and the reset table (its entries,
// each compressed frame's length, the lengths against the frame count), and
// every compressed entry inside the uncompressed length.
class CChmCompressedSection {
public:
    // frames, when given, receives where the frames lie and the LZX
    // parameters, for the checks made before each read.
    ChmFault Check(CBoundedFileReader& file, const CChmHeaders& headers, const CChmDirectory& directory,
                   ChmFrameTable* frames = nullptr);

private:
    ChmFault CheckNameList(CBoundedFileReader& file, const CChmHeaders& headers,
                           const CChmDirectory::Entry& entry, bool compressedUsed) const;
    ChmFault CheckControlData(CBoundedFileReader& file, const CChmHeaders& headers,
                              const CChmDirectory::Entry& entry);
    ChmFault CheckResetTable(CBoundedFileReader& file, const CChmHeaders& headers,
                             const CChmDirectory& directory);

    DWORD m_window = 0;
    DWORD m_framesPerReset = 0;
    ChmFrameTable* m_frames = nullptr;
};
