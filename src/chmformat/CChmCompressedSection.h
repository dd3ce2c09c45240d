#pragma once
#include <windows.h>

#include "chmformat/IChmByteSource.h"
#include "chmformat/CChmDirectory.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/ChmFault.h"
#include "chmformat/ChmFrameTable.h"

// The compressed section's own streams, read the way the storage component
// reads them, as measured on Wine's (dlls/itss, chm_lib.c; Windows' limits are
// unknown, and a file Wine's would fault on is refused for both): the section names, the LZX control data (version, window size,
// reset interval) and the reset table (where each frame lies). A file is
// refused only for what would fault the component as it opens the file; data
// it cannot decode with (a reset interval it does not take, a table of
// another entry size, frames it cannot find) leaves the compressed section, or
// those frames, unread, and the rest of the file readable.
class CChmCompressedSection {
public:
    // frames, when given, receives where the frames lie and the LZX
    // parameters, for the checks made before each read.
    ChmFault Check(IChmByteSource& file, const CChmHeaders& headers, const CChmDirectory& directory,
                   ChmFrameTable* frames = nullptr);

private:
    ChmFault CheckNameList(IChmByteSource& file, const CChmHeaders& headers,
                           const CChmDirectory::Entry& entry, bool compressedUsed) const;
    ChmFault CheckControlData(IChmByteSource& file, const CChmHeaders& headers,
                              const CChmDirectory::Entry& entry);
    ChmFault CheckResetTable(IChmByteSource& file, const CChmHeaders& headers,
                             const CChmDirectory& directory);

    bool m_decodable = false;
    DWORD m_window = 0;
    DWORD m_framesPerReset = 0;
    ChmFrameTable* m_frames = nullptr;
};
