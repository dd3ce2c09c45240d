#pragma once

// Exit codes of filterdump.
enum ExitCode : int {
    kExitOk = 0,             // the filter reached its end of chunks
    kExitUsage = 1,          // bad command line
    kExitFileMissing = 2,    // the file or folder does not exist (or a folder holds no .chm)
    kExitNoFilter = 3,       // no filter is registered for the file, or the named one cannot be found
    kExitFilterFailed = 4,   // the filter failed: creation, Load, Init, GetChunk, GetText or GetValue
    kExitNoChunks = 5,       // the filter ended at once: nothing would be indexed
    kExitSomeFailed = 6,     // folder: at least one file did not end with 0
    kExitCrashed = 7,        // the filter crashed the process
    kExitNotConformant = 8,  // --conformance: the filter failed conditions of the IFilter test procedure
};
