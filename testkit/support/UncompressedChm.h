#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The bytes of a small CHM whose streams all lie in the uncompressed section:
// one listing chunk holds the directory, in the order given, each entry named
// as the directory spells it ("/folder/page.htm") with its bytes. For tests
// whose storage component is a fake: the file stands for the fake tree, so
// that the checks made on the file before each read find what the fake serves.
// Throws std::length_error when the directory does not fit one chunk.
std::string UncompressedChm(const std::vector<std::pair<std::string, std::string>>& streams);

// One entry of a CHM made by ChmWithEntries: in section 0 with its bytes, or
// in section 1 at offset, length bytes long.
struct ChmListedEntry {
    std::string name;
    ULONGLONG section = 0;
    ULONGLONG offset = 0;
    ULONGLONG length = 0;
    std::string bytes;
};
// The same kind of CHM with entries of either section, in the order given.
std::string ChmWithEntries(const std::vector<ChmListedEntry>& entries);
