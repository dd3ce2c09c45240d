#pragma once
#include <windows.h>
#include <unknwn.h>

// Class factory of the stand-in storage component.
class CStandInFactory : public IClassFactory {
public:
    CStandInFactory();
    virtual ~CStandInFactory();
    CStandInFactory(const CStandInFactory&) = delete;
    CStandInFactory& operator=(const CStandInFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    volatile LONG m_refCount = 1;
};
