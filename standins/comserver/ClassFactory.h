#pragma once
#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <new>

#include "InterfaceTable.h"
#include "ServerLock.h"

// Hands out one interface of a freshly made object (null when it could not be
// made), whose own first reference goes away.
template <typename Object>
HRESULT QueryNewObject(Object* object, REFIID riid, void** ppv)
{
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// The class object of one class a server DLL serves. Class is a row of the
// DLL's class table: copyable, with a clsid member and
// HRESULT CreateInstance(REFIID, void**) const, which is called with the out
// slot cleared and never for an aggregate. The class object and its locks keep
// the DLL loaded.
template <typename Class>
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const Class& served) : m_class(served) { ServerLock::Increment(); }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const InterfaceRow rows[] = {{IID_IClassFactory, static_cast<IClassFactory*>(this)}};
        return QueryInterfaceByTable(rows, riid, ppv);
    }

    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }

    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG count = InterlockedDecrement(&m_refCount);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_class.CreateInstance(riid, ppv);
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            ServerLock::Increment();
        else
            ServerLock::Decrement();
        return S_OK;
    }

private:
    ~ClassFactory() { ServerLock::Decrement(); }

    volatile LONG m_refCount = 1;
    const Class m_class;
};

// DllGetClassObject over a DLL's class table: a new class object for the row
// whose clsid is asked for.
template <typename Class, std::size_t N>
HRESULT ServeClassObject(const Class (&classes)[N], REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const Class& served : classes) {
        if (clsid == *served.clsid)
            return QueryNewObject(new (std::nothrow) ClassFactory<Class>(served), riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
