#pragma once
#include <windows.h>
#include <filter.h>

#include <string>

// One chunk of a page as the filter hands it out: text of the page, or the
// string value of a meta tag.
struct PageChunk {
    bool isValue = false;
    CHUNK_BREAKTYPE breakType = CHUNK_NO_BREAK;
    GUID propSet{};
    PROPID propId = 0;       // used when name is empty
    std::wstring name;       // property name (PRSPEC_LPWSTR) when not empty
    std::wstring content;    // the text, or the value
};
