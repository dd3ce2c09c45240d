#pragma once
#include <windows.h>
#include <filter.h>

#include <nlohmann/json.hpp>
#include <string>

// One chunk as a host received it.
struct ChunkRecord {
    STAT_CHUNK stat{};
    std::wstring propertyName;  // when the attribute is named (PRSPEC_LPWSTR)
    std::wstring text;          // the whole text of a text chunk
    bool hasValue = false;
    std::string valueType;      // "VT_LPWSTR", ...
    nlohmann::ordered_json value;       // the value, as JSON
};

// What one file gave, for the summary and the folder table.
struct FileSummary {
    std::wstring file;
    int exitCode = 0;
    std::string reason;         // one line, when exitCode is not 0 or as a note
    std::wstring title;
    bool haveTitle = false;
    // Chunks that open with a chapter break. Only some page filters open each page
    // with one, and nothing else in a chunk tells a host where a page begins: this
    // is no count of pages.
    unsigned chapters = 0;
    unsigned chunks = 0;
    unsigned textChunks = 0;
    unsigned valueChunks = 0;
    unsigned long long characters = 0;
    double seconds = 0;
};
