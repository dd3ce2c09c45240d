#pragma once
#include <windows.h>

#include <vector>

// The compressed section as the storage component decodes it: where its
// content begins in the file, where each LZX frame begins in that content
// (then the compressed length, where a next frame would begin), the window,
// and how many frames lie between two resets of the decoder.
struct ChmFrameTable {
    ULONGLONG contentStart = 0;
    std::vector<ULONGLONG> frameStarts;
    DWORD windowSize = 0;
    DWORD framesPerReset = 0;
};
