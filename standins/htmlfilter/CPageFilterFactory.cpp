#include "CPageFilterFactory.h"

#include <new>

#include "CPageFilter.h"
#include "PageFilterCount.h"

CPageFilterFactory::CPageFilterFactory(const CLSID& classId, bool html) : m_classId(classId), m_html(html)
{
    InterlockedIncrement(&g_pageFilterCount);
}

CPageFilterFactory::~CPageFilterFactory()
{
    InterlockedDecrement(&g_pageFilterCount);
}

STDMETHODIMP CPageFilterFactory::QueryInterface(REFIID riid, void** ppv)
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

STDMETHODIMP_(ULONG) CPageFilterFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CPageFilterFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CPageFilterFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* filter = new (std::nothrow) CPageFilter(m_classId, m_html);
    if (!filter)
        return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

STDMETHODIMP CPageFilterFactory::LockServer(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&g_pageFilterCount);
    else
        InterlockedDecrement(&g_pageFilterCount);
    return S_OK;
}
