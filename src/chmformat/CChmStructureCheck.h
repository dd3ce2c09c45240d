#pragma once
#include <windows.h>

#include <memory>

#include "chmformat/ChmFault.h"
#include "chmformat/ChmFrameTable.h"
#include "chmformat/IChmByteSource.h"

class CChmListing;
class CChmStreamCheck;

// Checks a CHM's own structure with bounded reads of the file, before the
// storage component is asked to open it: the file header, the directory and
// every chunk and entry in it, and the compressed section's tables. Its time
// and memory follow the size of the directory the file really holds, whatever
// its headers claim.
//
// "The component" in this folder is the storage component. Its rules were
// measured on Wine's (dlls/itss: chm_lib.c, lzx.c); Windows' is not open to
// read, and where it differs is unknown, so the checks hold to Wine's limits
// for both.
class CChmStructureCheck {
public:
    // streams, when given, is made ready to check each stream's LZX frames
    // before it is read, when the file passes, and keeps the check's reader of
    // the file.
    static ChmFault Run(const wchar_t* path, CChmStreamCheck* streams = nullptr);
    // The same check over any source. listing and frames, when given, receive
    // the directory's entries and where the compressed section's frames lie.
    static ChmFault Run(IChmByteSource& source, CChmListing* listing = nullptr, ChmFrameTable* frames = nullptr);
};
