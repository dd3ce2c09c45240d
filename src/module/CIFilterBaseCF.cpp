#include "module/CIFilterBaseCF.h"

#include <new>

#include "filter/CIFilterBase.h"
#include "util/com/ModuleCount.h"

STDMETHODIMP CIFilterBaseCF::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IClassFactory || riid == IID_IUnknown) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CIFilterBaseCF::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CIFilterBaseCF::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CIFilterBaseCF::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    try {
        auto* filter = new (std::nothrow) CIFilterBase();
        if (!filter)
            return E_OUTOFMEMORY;
        if (FAILED(filter->QueryInterface(riid, ppv))) {
            // Never handed out: destroy at once so no count is left behind.
            *ppv = nullptr;
            filter->Release();
            return E_UNEXPECTED;
        }
        filter->Release();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CIFilterBaseCF::LockServer(BOOL lock)
{
    if (lock)
        ModuleAddRef();
    else
        ModuleRelease();
    return S_OK;
}
