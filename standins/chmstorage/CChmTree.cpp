#include "CChmTree.h"

#include <cwchar>

#include "CStandInStream.h"
#include "PlatformHeapCheck.h"
#include "crawler/IITStorage.h"
#include "util/owners/CoTaskMemBlock.h"

namespace {
// Deeper than any real help project; stops a crafted file from recursing on.
constexpr int kMaxDepth = 256;

// The name as the component compares it: without regard to case.
std::wstring Folded(std::wstring name)
{
    if (!name.empty())
        CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

std::wstring Trimmed(const wchar_t* name)
{
    std::wstring text = name ? name : L"";
    const size_t first = text.find_first_not_of(L'/');
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L'/');
    return text.substr(first, last - first + 1);
}

// A record and what a listing put below it; the own listings of folders stay
// with their folders.
std::unique_ptr<CChmTree::Node> Copied(const CChmTree::Node& node)
{
    auto copy = std::make_unique<CChmTree::Node>();
    copy->name = node.name;
    copy->wholePath = node.wholePath;
    copy->type = node.type;
    copy->size = node.size;
    copy->listsItself = node.listsItself;
    copy->depth = node.depth;
    for (const auto& child : node.children)
        copy->Add(Copied(*child));
    return copy;
}
}

CChmTree::Node* CChmTree::Node::Find(const wchar_t* leaf) const
{
    if (!leaf)
        return nullptr;
    if (Node* exact = FindExact(leaf))
        return exact;
    // The component looks names up without regard to case.
    const auto folded = m_byFoldedName.find(Folded(leaf));
    return folded == m_byFoldedName.end() ? nullptr : folded->second;
}

CChmTree::Node* CChmTree::Node::FindExact(const std::wstring& leaf) const
{
    const auto found = m_byName.find(leaf);
    return found == m_byName.end() ? nullptr : found->second;
}

CChmTree::Node* CChmTree::Node::Add(std::unique_ptr<Node> child)
{
    Node* added = child.get();
    m_byName.emplace(added->name, added);
    m_byFoldedName.emplace(Folded(added->name), added);
    children.push_back(std::move(child));
    return added;
}

CChmTree::~CChmTree()
{
    PlatformHeapCheck::Release("IStorage::Release", m_root, m_component);
}

HRESULT CChmTree::Load(const wchar_t* path, DWORD mode)
{
    // By name: the stand-in has its own file name, so this is the system's
    // itss.dll. Loaded once and kept: Wine's itss.dll, unloaded after use,
    // crashes the process later.
    static const HMODULE itss = LoadLibraryW(L"itss.dll");
    m_itss = itss;
    if (!m_itss)
        return E_FAIL;
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m_itss, "DllGetClassObject")));
    if (!getClassObject)
        return E_FAIL;
    // Wine may leave garbage in an out slot on failure: receive drops it.
    ComPtr<IClassFactory> factory;
    HRESULT hr = factory.receive([&](IClassFactory** out) {
        return getClassObject(CLSID_ITStorage, IID_IClassFactory, reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return hr;
    ComPtr<IITStorage> component;
    hr = component.receive([&](IITStorage** out) {
        return factory->CreateInstance(nullptr, IID_IITStorage, reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return hr;
    if (!component)
        return E_FAIL;
    m_component.copy_from(component.get());
    hr = PlatformHeapCheck::Around("StgOpenStorage", [&] {
        return m_root.receive(
            [&](IStorage** out) { return component->StgOpenStorage(path, nullptr, mode, nullptr, 0, out); });
    });
    if (FAILED(hr))
        return hr;
    if (!m_root)
        return E_FAIL;
    m_top.listsItself = true;
    return S_OK;
}

CChmTree::NodePtr CChmTree::Elements(const NodePtr& folder, NodePtr& held)
{
    std::lock_guard<std::mutex> lock(m_listingLock);
    if (held)
        return held;
    if (!folder->listsItself) {
        held = folder;
        return held;
    }
    NodePtr listing = folder->m_listing.lock();
    if (!listing) {
        listing = std::make_shared<Node>();
        listing->name = folder->name;
        listing->wholePath = folder->wholePath;
        listing->depth = folder->depth;
        // What the listing above already put into this folder comes first.
        for (const auto& child : folder->children)
            listing->Add(Copied(*child));
        List(*listing);
        folder->m_listing = listing;
    }
    held = listing;
    return held;
}

CChmTree::NodePtr CChmTree::ListedElements(const NodePtr& folder, const NodePtr& held)
{
    std::lock_guard<std::mutex> lock(m_listingLock);
    if (held)
        return held;
    if (!folder->listsItself)
        return folder;
    return folder->m_listing.lock();
}

bool CChmTree::IsElementName(const wchar_t* name)
{
    if (!name || name[0] == L'\0' || wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
        return false;
    return wcspbrk(name, L"/\\:") == nullptr;
}

std::wstring CChmTree::WholePath(const Node& folder, const wchar_t* name)
{
    return folder.wholePath.empty() ? std::wstring(name) : folder.wholePath + L"/" + name;
}

// One enumeration of Wine's storage for the folder: whole paths are cut back
// to the folder's, and folders that Wine skipped are made up from them.
void CChmTree::List(Node& top)
{
    if (top.depth > kMaxDepth)
        return;
    const std::wstring& prefix = top.wholePath;
    IStorage* storage = m_root.get();
    ComPtr<IStorage> sub;
    if (!prefix.empty()) {
        // Wine opens a sub-storage correctly only from the root, by its whole path.
        OpenFromRoot(prefix, sub);
        if (!sub)
            return;
        storage = sub.get();
    }
    ComPtr<IEnumSTATSTG> elements;
    PlatformHeapCheck::Around("IStorage::EnumElements", [&] {
        return elements.receive([&](IEnumSTATSTG** out) { return storage->EnumElements(0, nullptr, 0, out); });
    });
    if (!elements)
        return;
    for (;;) {
        STATSTG stat = {};
        ULONG fetched = 0;
        if (PlatformHeapCheck::Around("IEnumSTATSTG::Next", [&] { return elements->Next(1, &stat, &fetched); }) !=
                S_OK ||
            fetched != 1)
            break;
        CoTaskMemBlock<wchar_t> name(stat.pwcsName);
        const std::wstring reported = Trimmed(name.get());
        name.reset();
        if (reported.empty())
            continue;
        // Wine matches the folder's path without regard to case, so a folder
        // opened by its path may be spelled otherwise than Wine's names.
        const std::wstring whole =
            prefix.empty() || Folded(reported.substr(0, prefix.size() + 1)) == Folded(prefix + L"/")
                ? reported
                : prefix + L"/" + reported;
        if (whole.find(L"//") != std::wstring::npos)
            continue;
        Node* node = Insert(top, whole, stat.type, stat.cbSize);
        if (!node || stat.type != STGTY_STORAGE || node->listsItself)
            continue;
        node->listsItself = true;
        node->depth = top.depth + 1;
    }
    PlatformHeapCheck::Release("IEnumSTATSTG::Release", elements, sub);
}

CChmTree::Node* CChmTree::Insert(Node& top, const std::wstring& wholePath, DWORD type, ULARGE_INTEGER size)
{
    Node* level = &top;
    size_t start = top.wholePath.empty() ? 0 : top.wholePath.size() + 1;
    for (;;) {
        const size_t slash = wholePath.find(L'/', start);
        const std::wstring leaf = wholePath.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
        const bool last = slash == std::wstring::npos;
        Node* next = level->FindExact(leaf);
        if (!next) {
            auto node = std::make_unique<Node>();
            node->name = leaf;
            node->wholePath = last ? wholePath : wholePath.substr(0, slash);
            node->type = last ? type : static_cast<DWORD>(STGTY_STORAGE);
            if (last)
                node->size = size;
            next = level->Add(std::move(node));
        } else if (last) {
            // Some files list an entry twice; the first one stands.
            return next->type == type ? next : nullptr;
        }
        if (next->type != STGTY_STORAGE && !last)
            return nullptr;
        if (last)
            return next;
        level = next;
        start = slash + 1;
    }
}

HRESULT CChmTree::OpenStream(const std::wstring& wholePath, IStream** stream) const
{
    *stream = nullptr;
    ComPtr<IStream> opened;
    const HRESULT hr = PlatformHeapCheck::Around("IStorage::OpenStream", [&] {
        return opened.receive([&](IStream** out) {
            return m_root->OpenStream(wholePath.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, out);
        });
    });
    if (FAILED(hr) || !opened)
        return FAILED(hr) ? hr : STG_E_FILENOTFOUND;
    return CStandInStream::Wrap(std::move(opened), stream);
}

HRESULT CChmTree::OpenUnlisted(const Node& parent, const wchar_t* name, NodePtr& folder) const
{
    folder.reset();
    if (!IsElementName(name) || parent.depth >= kMaxDepth)
        return STG_E_FILENOTFOUND;
    const std::wstring whole = WholePath(parent, name);
    // Wine opens any path as a storage; only a stream's path opens as a stream.
    ComPtr<IStream> stream;
    if (SUCCEEDED(OpenStream(whole, stream.put())))
        return STG_E_FILENOTFOUND;
    ComPtr<IStorage> sub;
    const HRESULT hr = OpenFromRoot(whole, sub);
    PlatformHeapCheck::Release("IStorage::Release", sub);
    if (FAILED(hr))
        return hr;
    auto node = std::make_shared<Node>();
    node->name = name;
    node->wholePath = whole;
    node->listsItself = true;
    node->depth = parent.depth + 1;
    folder = std::move(node);
    return S_OK;
}

namespace {
volatile LONGLONG g_platformKeptBytes = 0;
}

LONGLONG CChmTree::PlatformKeptBytes()
{
    return InterlockedCompareExchange64(&g_platformKeptBytes, 0, 0);
}

HRESULT CChmTree::OpenFromRoot(const std::wstring& wholePath, ComPtr<IStorage>& sub) const
{
    const LONGLONG kept = static_cast<LONGLONG>((1 + wholePath.size() + 2) * sizeof(WCHAR));
    InterlockedExchangeAdd64(&g_platformKeptBytes, kept);
    return PlatformHeapCheck::Around("IStorage::OpenStorage", [&] {
        return sub.receive([&](IStorage** out) {
            return m_root->OpenStorage(wholePath.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, out);
        });
    });
}
