#include "CStandInStorage.h"

#include <cwchar>
#include <new>

#include "CStandInEnum.h"
#include "comserver/ServerLock.h"

namespace {
// A name that can only mean an element of this very folder, as Wine reads it.
bool IsLeafName(const OLECHAR* name)
{
    return name && name[0] != L'\0' && !wcspbrk(name, L"/\\");
}
}

CStandInStorage::CStandInStorage(std::shared_ptr<CChmTree> tree, CChmTree::NodePtr node)
    : m_tree(std::move(tree)), m_node(std::move(node))
{
    ServerLock::Increment();
}

CStandInStorage::~CStandInStorage()
{
    ServerLock::Decrement();
}

STDMETHODIMP CStandInStorage::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IStorage)
        return E_NOINTERFACE;
    *ppv = static_cast<IStorage*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CStandInStorage::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CStandInStorage::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CStandInStorage::OpenStream(const OLECHAR* name, void*, DWORD, DWORD, IStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    try {
        CChmTree::NodePtr elements = m_tree->ListedElements(m_node, m_elements);
        if (!elements && CChmTree::OpensByPath(*m_node) && IsLeafName(name)) {
            // Opening by name need not list the folder: Wine looks the whole
            // path up without regard to case, as the view does, and a folder's
            // path names no stream.
            const std::wstring whole = m_node->wholePath.empty() ? name : m_node->wholePath + L"/" + name;
            if (SUCCEEDED(m_tree->OpenStream(whole, stream)))
                return S_OK;
        }
        if (!elements)
            elements = m_tree->Elements(m_node, m_elements);
        const CChmTree::Node* node = elements->Find(name);
        if (!node || node->type != STGTY_STREAM)
            return STG_E_FILENOTFOUND;
        return m_tree->OpenStream(node->wholePath, stream);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CStandInStorage::OpenStorage(const OLECHAR* name, IStorage*, DWORD, SNB, DWORD, IStorage** storage)
{
    if (!storage)
        return E_POINTER;
    *storage = nullptr;
    try {
        // Wine opens any path as a storage, so only the listing tells a folder,
        // its spelling and where its elements come from.
        const CChmTree::NodePtr elements = m_tree->Elements(m_node, m_elements);
        CChmTree::Node* node = elements->Find(name);
        if (!node || node->type != STGTY_STORAGE)
            return STG_E_FILENOTFOUND;
        *storage = new CStandInStorage(m_tree, CChmTree::NodePtr(elements, node));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CStandInStorage::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements)
{
    if (!elements)
        return E_POINTER;
    *elements = nullptr;
    try {
        *elements = new CStandInEnum(m_tree->Elements(m_node, m_elements));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CStandInStorage::Stat(STATSTG* stat, DWORD flags)
{
    if (!stat)
        return E_POINTER;
    return CStandInEnum::Describe(*m_node, stat, (flags & STATFLAG_NONAME) != 0);
}

// The view is read-only.
STDMETHODIMP CStandInStorage::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream** stream)
{
    if (stream)
        *stream = nullptr;
    return STG_E_ACCESSDENIED;
}
STDMETHODIMP CStandInStorage::CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage** storage)
{
    if (storage)
        *storage = nullptr;
    return STG_E_ACCESSDENIED;
}
STDMETHODIMP CStandInStorage::CopyTo(DWORD, const IID*, SNB, IStorage*) { return E_NOTIMPL; }
STDMETHODIMP CStandInStorage::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) { return STG_E_ACCESSDENIED; }
STDMETHODIMP CStandInStorage::Commit(DWORD) { return S_OK; }
STDMETHODIMP CStandInStorage::Revert() { return S_OK; }
STDMETHODIMP CStandInStorage::DestroyElement(const OLECHAR*) { return STG_E_ACCESSDENIED; }
STDMETHODIMP CStandInStorage::RenameElement(const OLECHAR*, const OLECHAR*) { return STG_E_ACCESSDENIED; }
STDMETHODIMP CStandInStorage::SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*)
{
    return STG_E_ACCESSDENIED;
}
STDMETHODIMP CStandInStorage::SetClass(REFCLSID) { return STG_E_ACCESSDENIED; }
STDMETHODIMP CStandInStorage::SetStateBits(DWORD, DWORD) { return STG_E_ACCESSDENIED; }
