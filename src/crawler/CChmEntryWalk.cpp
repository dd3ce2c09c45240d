#include "crawler/CChmEntryWalk.h"

#include <map>
#include <memory>
#include <set>

#include "chmformat/CChmListing.h"
#include "chmformat/ChmEntryNames.h"
#include "crawler/ChmPassedOver.h"

namespace {
// One folder of the tree the directory describes: its streams and subfolders
// in the order the directory first names them.
struct Folder {
    struct Item {
        size_t entry;       // a stream's entry, when sub is null
        bool bytesAsCharacters;
        Folder* sub;
    };
    std::vector<Item> items;
    std::map<std::wstring, std::unique_ptr<Folder>> subfolders;
    std::set<std::wstring> streams;

    Folder* Enter(const std::wstring& name)
    {
        std::unique_ptr<Folder>& sub = subfolders[name];
        if (!sub) {
            sub.reset(new Folder);
            items.push_back({0, false, sub.get()});
        }
        return sub.get();
    }
};

// Splits "a\b" into its elements and walks down, making folders on the way.
Folder* FolderAt(Folder& root, const std::wstring& path)
{
    Folder* folder = &root;
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        folder = folder->Enter(path.substr(start, end - start));
        start = end + 1;
    }
    return folder;
}

// The folder and name the component gives a directory name, in the first
// decoding that makes sense of it.
bool EntryPath(const std::string& entry, std::wstring& folder, std::wstring& name, bool& bytesAsCharacters)
{
    for (const bool bytes : {false, true}) {
        if (ChmEntryPath(entry, bytes, folder, name)) {
            bytesAsCharacters = bytes;
            return true;
        }
    }
    return false;
}
}  // namespace

CChmEntryWalk::CChmEntryWalk(const CChmListing& listing) : m_listing(listing)
{
    Folder root;
    std::wstring folder;
    std::wstring name;
    for (size_t index = 0; index < listing.Count(); ++index) {
        std::string entry = listing.Name(index);
        bool bytes = false;
        if (entry.size() > 1 && entry.back() == '/') {
            // A storage's own entry places its folder, which holds no page itself.
            entry += "x";
            if (EntryPath(entry, folder, name, bytes) && folder.size() + name.size() < kFolderCapacity)
                FolderAt(root, folder.empty() ? name : folder + L"\\" + name);
            continue;
        }
        if (!EntryPath(entry, folder, name, bytes) || folder.size() >= kFolderCapacity ||
            name.size() >= kNameCapacity)
            continue;
        Folder* at = FolderAt(root, folder);
        if (at->streams.insert(name).second)
            at->items.push_back({index, bytes, nullptr});
    }

    // Depth first, without recursion: a crafted file may nest folders deeply.
    std::vector<std::pair<const Folder*, size_t>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.second == top.first->items.size()) {
            stack.pop_back();
            continue;
        }
        const Folder::Item& item = top.first->items[top.second++];
        if (item.sub) {
            stack.emplace_back(item.sub, 0);
            continue;
        }
        ChmEntryPath(listing.Name(item.entry), item.bytesAsCharacters, folder, name);
        if (!IsPassedOverChmEntry(name.c_str(), folder.c_str()))
            m_pages.push_back({item.entry, item.bytesAsCharacters});
    }
}

bool CChmEntryWalk::Next(size_t& entry, std::wstring& folder, std::wstring& name)
{
    if (m_next >= m_pages.size())
        return false;
    const Page& page = m_pages[m_next++];
    entry = page.entry;
    return ChmEntryPath(m_listing.Name(page.entry), page.bytesAsCharacters, folder, name);
}
