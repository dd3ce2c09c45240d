#include "CStandInStorage.h"

#include <new>

#include "CStandInEnum.h"
#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

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
    const InterfaceRow rows[] = {
        {IID_IStorage, static_cast<IStorage*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
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
        const CChmTree::NodePtr listed = m_tree->ListedElements(m_node, m_elements);
        if (listed) {
            if (const CChmTree::Node* node = listed->Find(name))
                return node->type == STGTY_STREAM ? m_tree->OpenStream(node->wholePath, stream) : STG_E_FILENOTFOUND;
        }
        // Opening by name needs no listing, and finds a stream that the listing
        // missed: Wine looks the whole path up without regard to case, as the
        // view does, and a folder's path names no stream.
        if (CChmTree::IsElementName(name) && SUCCEEDED(m_tree->OpenStream(CChmTree::WholePath(*m_node, name), stream)))
            return S_OK;
        if (listed)
            return STG_E_FILENOTFOUND;
        const CChmTree::Node* node = m_tree->Elements(m_node, m_elements)->Find(name);
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
        // Wine opens any path as a storage, so the listing tells a folder, its
        // spelling and where its elements come from; only a name it lacks is
        // taken by its path.
        const CChmTree::NodePtr elements = m_tree->Elements(m_node, m_elements);
        CChmTree::NodePtr folder;
        if (CChmTree::Node* node = elements->Find(name)) {
            if (node->type != STGTY_STORAGE)
                return STG_E_FILENOTFOUND;
            folder = CChmTree::NodePtr(elements, node);
        } else {
            const HRESULT hr = m_tree->OpenUnlisted(*m_node, name, folder);
            if (FAILED(hr))
                return hr;
        }
        *storage = new CStandInStorage(m_tree, std::move(folder));
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
