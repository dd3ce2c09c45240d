#include "CStandInStorage.h"

#include <new>

#include "CStandInEnum.h"
#include "comserver/ServerLock.h"

CStandInStorage::CStandInStorage(std::shared_ptr<CChmTree> tree, CChmTree::Node* node)
    : m_tree(std::move(tree)), m_node(node)
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
    const CChmTree::Node* node = m_node->Find(name);
    if (!node || node->type != STGTY_STREAM)
        return STG_E_FILENOTFOUND;
    return m_tree->OpenStream(*node, stream);
}

STDMETHODIMP CStandInStorage::OpenStorage(const OLECHAR* name, IStorage*, DWORD, SNB, DWORD, IStorage** storage)
{
    if (!storage)
        return E_POINTER;
    *storage = nullptr;
    CChmTree::Node* node = m_node->Find(name);
    if (!node || node->type != STGTY_STORAGE)
        return STG_E_FILENOTFOUND;
    *storage = new (std::nothrow) CStandInStorage(m_tree, node);
    return *storage ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CStandInStorage::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements)
{
    if (!elements)
        return E_POINTER;
    *elements = new (std::nothrow) CStandInEnum(m_tree, m_node);
    return *elements ? S_OK : E_OUTOFMEMORY;
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
