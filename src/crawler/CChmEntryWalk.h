#pragma once
#include <windows.h>

#include <string>
#include <vector>

class CChmListing;

// The pages of a CHM's directory in the order the storage component's walk
// hands them out: depth first, each folder's streams and subfolders in the
// order the directory first names them. A name listed twice is one stream.
// Entries the crawler passes over are left out; so are names the walk could
// never hand out (see ChmEntryPath) and folders or names too long for its
// buffers. Names are decoded from UTF-8, else byte for byte, as the component
// does.
class CChmEntryWalk {
public:
    // The longest folder and name the path run's walk can hold.
    static constexpr size_t kFolderCapacity = 2048;
    static constexpr size_t kNameCapacity = 2049;

    // Throws std::bad_alloc when memory runs out.
    explicit CChmEntryWalk(const CChmListing& listing);

    // The next page: its entry in the listing, folder ('\'-joined, empty at the
    // root) and name. False after the last one.
    bool Next(size_t& entry, std::wstring& folder, std::wstring& name);

private:
    struct Page {
        size_t entry;
        bool bytesAsCharacters;
    };

    const CChmListing& m_listing;
    std::vector<Page> m_pages;
    size_t m_next = 0;
};
