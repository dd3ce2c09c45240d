#pragma once
#include <windows.h>

#include <string>

// Directories whose header names the wrong first listing chunk, made from a
// compiled CHM's bytes. chmcmd writes such a header itself once the directory
// takes more than one listing chunk: it names chunk 1 although chunk 0 is the
// first, and puts its index chunk after the listing chunks.

// Names chunk in the directory header as the first listing chunk.
void NameFirstListingChunk(std::string& bytes, LONG chunk);

// Moves the index chunks in front of the listing chunks. Every chunk number
// the directory holds (the header's, the listing chunks' previous and next,
// the index entries') follows its chunk, so the header still names the chunk it
// named before. Throws when a renumbered index entry needs more bytes.
void PutIndexChunksFirst(std::string& bytes);
