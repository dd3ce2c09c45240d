#pragma once
#include <windows.h>

// Receives the listing entries of a directory as its walk reads them, in
// directory order (listing chunks in chunk order, entries in chunk order).
// The walk knows nothing of who keeps them.
class IChmEntrySink {
public:
    // Once, before the first entry: the directory's size in bytes, an upper
    // bound on what the entries take. False: no memory.
    virtual bool Reserve(ULONGLONG directoryBytes) = 0;
    // name is not terminated; false stops the walk as out of memory.
    virtual bool AddEntry(const BYTE* name, ULONGLONG nameLength, ULONGLONG section, ULONGLONG offset,
                          ULONGLONG length) = 0;

protected:
    ~IChmEntrySink() = default;
};
