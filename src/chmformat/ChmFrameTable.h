#pragma once
#include <windows.h>

#include <vector>

// The compressed section as the storage component decodes it (measured on
// Wine's): whether it
// decodes it at all, where its content begins in the file, where each LZX
// frame begins in that content, the window, and how many frames lie between
// two resets of the decoder. Frame n of the table runs from frameStarts[n] to
// frameStarts[n + 1], as the component reads the reset table; the frames past
// the table's last are frames the component cannot find, and are never read.
struct ChmFrameTable {
    bool decodable = false;
    ULONGLONG contentStart = 0;
    std::vector<ULONGLONG> frameStarts;
    DWORD windowSize = 0;
    DWORD framesPerReset = 0;

    size_t Frames() const { return frameStarts.empty() ? 0 : frameStarts.size() - 1; }
};
