#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <string>
#include <vector>

// One answer of GetChunk as the conformance procedure keeps it, to compare a
// pass with the others.
struct ConformanceChunk {
    HRESULT answer = S_OK;      // S_OK, or an unavailable embedding or link the host steps past
    STAT_CHUNK stat{};          // a named property's name is in propertyName, never in stat
    std::wstring propertyName;
    std::wstring text;
    bool hasValue = false;
    std::string value;          // type and value as shown: VT_LPWSTR "Title"
};

// Every chunk of one pass, and the answer of GetChunk that ended it.
struct ConformanceRead {
    std::vector<ConformanceChunk> chunks;
    HRESULT end = FILTER_E_END_OF_CHUNKS;
};

// "chunk 12" for a chunk the filter numbered, "answer 3" for a skipped one.
std::string ChunkPosition(const ConformanceChunk& chunk, size_t index);

// What differs between two chunks, in a few words; empty when they agree. The
// text and the value are compared only when asked.
std::string ChunkDifference(const ConformanceChunk& want, const ConformanceChunk& got, bool text, bool value);

// Where two texts part, in a few words; empty when they are the same.
std::string TextDifference(const std::wstring& want, const std::wstring& got);

// How two chunks' values differ, in a few words; empty when they are the same.
std::string ValueDifference(const ConformanceChunk& want, const ConformanceChunk& got);

// What differs between two passes beyond their chunks: their count and end.
std::string ReadDifference(const ConformanceRead& want, const ConformanceRead& got);
