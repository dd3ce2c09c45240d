#pragma once
#include <windows.h>
#include <unknwn.h>

#include "util/com/ModuleCount.h"

// Class factory of the filter class. Each factory is independent; it counts in
// g_moduleCount from its construction in DllGetClassObject until its last Release.
class CIFilterBaseCF : public IClassFactory {
public:
    CIFilterBaseCF() = default;
    CIFilterBaseCF(const CIFilterBaseCF&) = delete;
    CIFilterBaseCF& operator=(const CIFilterBaseCF&) = delete;
    virtual ~CIFilterBaseCF() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ModuleLock m_moduleLock;
    volatile LONG m_refCount = 1;
};
