#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "crawler/CChmStorage.h"
#include "support/Narrow.h"
#include "support/WinePath.h"
#include "util/owners/LocalBlock.h"

// A whole walk of an open reader: "folder|name" per stream, the code that ended
// it, and optionally each stream's bytes.
struct ChmWalk {
    std::vector<std::wstring> streams;
    std::map<std::wstring, std::string> bytes;
    HRESULT end = S_OK;
    HRESULT readFailure = S_OK;  // the last read that failed
    std::map<std::wstring, HRESULT> failures;
};

inline ChmWalk WalkAll(CChmStorage& reader, bool read, size_t nameCapacity = 257, size_t folderCapacity = 2049)
{
    ChmWalk walk;
    std::vector<wchar_t> name(nameCapacity + 1), folder(folderCapacity + 1);
    HRESULT hr = reader.First(name.data(), nameCapacity, folder.data(), folderCapacity);
    // Bounded: a walk that never ends is itself a fault.
    for (int guard = 0; hr == S_OK && guard < 100000; ++guard) {
        const std::wstring key = std::wstring(folder.data()) + L"|" + name.data();
        walk.streams.push_back(key);
        if (read) {
            BYTE* raw = nullptr;
            DWORD count = 0;
            const HRESULT readHr = reader.ReadCurrent(&raw, &count);
            LocalBlock<BYTE> block(raw);
            if (FAILED(readHr))
                walk.readFailure = walk.failures[key] = readHr;
            else
                walk.bytes[key] = std::string(reinterpret_cast<const char*>(raw), count);
        }
        hr = reader.Next(name.data(), nameCapacity, folder.data(), folderCapacity);
    }
    walk.end = hr;
    return walk;
}
