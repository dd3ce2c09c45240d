#include "CStandInFactory.h"

#include <new>

#include "CStandInComponent.h"
#include "StandInCount.h"

CStandInFactory::CStandInFactory() { InterlockedIncrement(&g_standInCount); }

CStandInFactory::~CStandInFactory() { InterlockedDecrement(&g_standInCount); }

STDMETHODIMP CStandInFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CStandInFactory::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CStandInFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CStandInFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* component = new (std::nothrow) CStandInComponent;
    if (!component)
        return E_OUTOFMEMORY;
    const HRESULT hr = component->QueryInterface(riid, ppv);
    component->Release();
    return hr;
}

STDMETHODIMP CStandInFactory::LockServer(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&g_standInCount);
    else
        InterlockedDecrement(&g_standInCount);
    return S_OK;
}
