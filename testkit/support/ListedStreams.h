#pragma once
#include <string>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/ChmEntryNames.h"

// Asks the check about every stream the directory lists, as the reader asks
// before each read: true when every one of them may be read whole.
inline bool EveryListedStreamPasses(CChmStreamCheck& streams)
{
    CChmListing& listing = streams.Listing();
    for (size_t i = 0; i < listing.Count(); ++i) {
        std::wstring folder;
        std::wstring name;
        if (ChmEntryPath(listing.Name(i), false, folder, name) &&
            !streams.Allows(folder.c_str(), name.c_str(), listing.At(i).length))
            return false;
    }
    return true;
}
