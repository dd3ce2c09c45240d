#include "CStandInComponent.h"

#include <memory>
#include <new>

#include "CChmTree.h"
#include "CStandInStorage.h"
#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

CStandInComponent::CStandInComponent() { ServerLock::Increment(); }

CStandInComponent::~CStandInComponent() { ServerLock::Decrement(); }

STDMETHODIMP CStandInComponent::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {
        {IID_IITStorage, static_cast<IITStorage*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CStandInComponent::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CStandInComponent::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CStandInComponent::StgOpenStorage(const WCHAR* name, IStorage*, DWORD mode, SNB, DWORD,
                                               IStorage** storage)
{
    if (!storage)
        return E_POINTER;
    *storage = nullptr;
    if (!name)
        return STG_E_INVALIDNAME;
    try {
        auto tree = std::make_shared<CChmTree>();
        const HRESULT hr = tree->Load(name, mode);
        if (FAILED(hr))
            return hr;
        CChmTree::NodePtr top = tree->Root();
        *storage = new CStandInStorage(std::move(tree), std::move(top));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Only reading is offered.
STDMETHODIMP CStandInComponent::StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage** storage)
{
    if (storage)
        *storage = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CStandInComponent::StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage** storage)
{
    if (storage)
        *storage = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CStandInComponent::StgIsStorageFile(const WCHAR*) { return E_NOTIMPL; }
STDMETHODIMP CStandInComponent::StgIsStorageILockBytes(ILockBytes*) { return E_NOTIMPL; }
