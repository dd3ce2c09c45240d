#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "util/ComPtr.h"

// The Windows view of one CHM: one storage per folder, leaf names, sizes. Built
// once from Wine's own itss.dll, which decodes the file but reports elements in
// sub-storages by their whole path and skips folders that have no entry of
// their own. Streams are opened from Wine's root storage by their whole path,
// which works at every depth.
class CChmTree {
public:
    struct Node {
        std::wstring name;       // leaf name
        std::wstring wholePath;  // '/'-separated path from the root
        DWORD type = STGTY_STORAGE;
        ULARGE_INTEGER size = {};
        std::vector<std::unique_ptr<Node>> children;  // in the order the component listed them

        // By exact name, then without regard to case.
        Node* Find(const wchar_t* leaf) const;
        Node* FindExact(const std::wstring& leaf) const;
        Node* Add(std::unique_ptr<Node> child);

    private:
        // Folders of thousands of pages are common: looking a name up by
        // scanning would make building the tree quadratic in a folder's size.
        std::unordered_map<std::wstring, Node*> m_byName;
        std::unordered_map<std::wstring, Node*> m_byFoldedName;  // first of each spelling
    };

    CChmTree() = default;
    ~CChmTree();
    CChmTree(const CChmTree&) = delete;
    CChmTree& operator=(const CChmTree&) = delete;

    HRESULT Load(const wchar_t* path, DWORD mode);
    Node* Root() { return &m_top; }
    HRESULT OpenStream(const Node& node, IStream** stream) const;

private:
    void Collect(IStorage* storage, const std::wstring& prefix, int depth);
    Node* Insert(const std::wstring& wholePath, DWORD type, ULARGE_INTEGER size);

    HMODULE m_itss = nullptr;  // borrowed; stays loaded for the process
    ComPtr<IUnknown> m_component;
    ComPtr<IStorage> m_root;
    Node m_top;
};
