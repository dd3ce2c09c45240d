#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "util/owners/ComPtr.h"

// The Windows view of one CHM: one storage per folder, leaf names, sizes. Made
// from Wine's own itss.dll, which decodes the file but reports elements in
// sub-storages by their whole path and skips folders that have no entry of
// their own. Streams are opened from Wine's root storage by their whole path,
// which works at every depth.
//
// Nothing is listed when the file is opened. A folder that Wine reports as a
// storage (and the root) gets its listing, one enumeration of its own, when it
// is first enumerated or looked into; the listing lives while a storage or
// enumerator of that folder, or of a folder inside it that it holds, is alive.
// A folder made up from deeper whole paths has no enumeration of its own: the
// listing that made it up holds its elements.
//
// Wine lists a directory from the listing chunk its header names as the first,
// which some files get wrong, so a listing may miss folders and streams that
// the file holds. Windows' component finds an element by its path through the
// directory's index, whatever the listing shows, and so does the view: a name
// its folder's listing lacks is looked up in Wine's root storage by its whole
// path.
class CChmTree : public std::enable_shared_from_this<CChmTree> {
public:
    struct Node {
        std::wstring name;       // leaf name
        std::wstring wholePath;  // '/'-separated path from the root
        DWORD type = STGTY_STORAGE;
        ULARGE_INTEGER size = {};
        // Reported by Wine as a storage: listed by an enumeration of its own.
        bool listsItself = false;
        int depth = 0;  // of that enumeration, counted in listings from the root
        std::vector<std::unique_ptr<Node>> children;  // in the order the component listed them

        // By exact name, then without regard to case.
        Node* Find(const wchar_t* leaf) const;
        Node* FindExact(const std::wstring& leaf) const;
        Node* Add(std::unique_ptr<Node> child);

    private:
        friend class CChmTree;
        // Folders of thousands of pages are common: looking a name up by
        // scanning would make a listing quadratic in the folder's size.
        std::unordered_map<std::wstring, Node*> m_byName;
        std::unordered_map<std::wstring, Node*> m_byFoldedName;  // first of each spelling
        std::weak_ptr<Node> m_listing;  // the own listing while someone holds it
    };
    // A node keeps alive the listing that holds it (or the tree, for the root).
    using NodePtr = std::shared_ptr<Node>;

    CChmTree() = default;
    ~CChmTree();
    CChmTree(const CChmTree&) = delete;
    CChmTree& operator=(const CChmTree&) = delete;

    HRESULT Load(const wchar_t* path, DWORD mode);
    NodePtr Root() { return NodePtr(shared_from_this(), &m_top); }

    // The folder's elements: its own listing, made now unless one is alive, or
    // the node itself for a folder made up by the listing above it. The caller
    // keeps them in held, which is only touched under the tree's lock (the
    // component is free-threaded).
    NodePtr Elements(const NodePtr& folder, NodePtr& held);
    // The elements if they need no listing made, else null.
    NodePtr ListedElements(const NodePtr& folder, const NodePtr& held);

    // A name that can only mean an element of its own folder: not empty, "." or
    // "..", with no '/', '\\' or ':' in it.
    static bool IsElementName(const wchar_t* name);
    static std::wstring WholePath(const Node& folder, const wchar_t* name);

    HRESULT OpenStream(const std::wstring& wholePath, IStream** stream) const;
    // A folder of parent that its listing lacks, by its whole path: a folder of
    // its own, listed by Wine's enumeration of that path (which may show
    // nothing). STG_E_FILENOTFOUND for a refused name and for a stream's path.
    HRESULT OpenUnlisted(const Node& parent, const wchar_t* name, NodePtr& folder) const;

    // Heap bytes that Wine's itss.dll has kept for good so far: its
    // IStorage::OpenStorage allocates the path it resolves and never frees it
    // ((length of the storage's own path "/" + length of the name + 2)
    // characters, measured with HeapWalk on Wine 8.0). Every OpenStorage call
    // into Wine's component is made from the root by this stand-in, and counted
    // here, so that a benchmark can tell the platform's growth from ours.
    static LONGLONG PlatformKeptBytes();

private:
    // Wine's OpenStorage of a whole path, from the root, counted as above.
    HRESULT OpenFromRoot(const std::wstring& wholePath, ComPtr<IStorage>& sub) const;
    void List(Node& top);
    Node* Insert(Node& top, const std::wstring& wholePath, DWORD type, ULARGE_INTEGER size);

    HMODULE m_itss = nullptr;  // borrowed; stays loaded for the process
    ComPtr<IUnknown> m_component;
    ComPtr<IStorage> m_root;
    Node m_top;
    std::mutex m_listingLock;  // guards the nodes' m_listing and the holders' copies
};
