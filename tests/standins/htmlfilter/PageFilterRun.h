#pragma once
#include <windows.h>
#include <filter.h>

#include <string>
#include <vector>

// One chunk as the conformance run saw it.
struct SeenChunk {
    CHUNK_BREAKTYPE breakType;
    bool isValue;
    std::string property;  // "text", "author", "subject", "keywords", or a meta name
    std::wstring content;
};

// Loads the reference page filter DLL beside the test program, creates the
// HTML or plain-text class, loads the file, and pulls every chunk while
// checking the IFilter contract at each step (ids, sources, GetText in small
// pieces, GetValue once, the codes on the wrong kind of chunk, the end).
// Contract breaches are reported as test failures.
// attributes: what Init asks for (none: everything).
std::vector<SeenChunk> RunPageFilter(const std::wstring& path, bool html, size_t textBuffer = 7,
                                     const std::vector<FULLPROPSPEC>& attributes = {});

// The chunks' texts joined as a host would: a space at every break.
std::wstring JoinedText(const std::vector<SeenChunk>& chunks);
