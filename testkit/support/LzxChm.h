#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The bytes of a small CHM whose compressed section holds the given LZX
// frames (see LzxEncoder), with its own streams as a compiler writes them: the
// section names, control data for this window and this many frames between
// resets (as the storage component counts them), a reset table, the content.
// streams: pages of the compressed section, each at an offset of the
// uncompressed bytes with a length.
struct LzxSection {
    DWORD windowSize = 0x10000;
    DWORD framesPerReset = 2;
    std::vector<std::string> frames;
    // The uncompressed length the reset table gives; 0: 32 KB a frame.
    ULONGLONG uncompressedLength = 0;
};
struct LzxPage {
    std::string name;
    ULONGLONG offset;
    ULONGLONG length;
};
std::string LzxChm(const LzxSection& section, const std::vector<LzxPage>& pages);

// A section of this many frames, one reset at its start, in a 32 KB window,
// each frame long runs of one byte: a few dozen bytes of file per 32 KB, so
// a small file lists a page of any length.
LzxSection LongRunsSection(DWORD frames);
