#include "CScriptPageFilterFactory.h"

#include <new>

#include "CScriptPageFilter.h"
#include "ScriptFilterModule.h"

STDMETHODIMP CScriptPageFilterFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CScriptPageFilterFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CScriptPageFilterFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CScriptPageFilterFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* filter = new (std::nothrow) CScriptPageFilter();
    if (!filter)
        return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

STDMETHODIMP CScriptPageFilterFactory::LockServer(BOOL)
{
    return S_OK;
}
