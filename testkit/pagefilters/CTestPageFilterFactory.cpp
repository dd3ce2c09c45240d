#include "CTestPageFilterFactory.h"

#include <new>

#include "CTestPageFilter.h"
#include "PageFilterModule.h"

CTestPageFilterFactory::CTestPageFilterFactory(unsigned persist, bool failing, const CLSID& clsid)
    : m_persist(persist), m_failing(failing), m_clsid(clsid)
{
    PageFilterModule::ObjectCreated();
}

CTestPageFilterFactory::~CTestPageFilterFactory()
{
    PageFilterModule::ObjectDestroyed();
}

STDMETHODIMP CTestPageFilterFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CTestPageFilterFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CTestPageFilterFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CTestPageFilterFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (m_failing) {
        *ppv = PageFilterModule::Leftover();
        return E_OUTOFMEMORY;
    }
    auto* filter = new (std::nothrow) CTestPageFilter(m_persist, m_clsid);
    if (!filter)
        return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

STDMETHODIMP CTestPageFilterFactory::LockServer(BOOL lock)
{
    if (lock)
        PageFilterModule::ObjectCreated();
    else
        PageFilterModule::ObjectDestroyed();
    return S_OK;
}
