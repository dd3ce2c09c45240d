#pragma once
#include <windows.h>
#include <unknwn.h>

// Class object of the scriptable page filter.
class CScriptPageFilterFactory final : public IClassFactory {
public:
    CScriptPageFilterFactory() = default;
    CScriptPageFilterFactory(const CScriptPageFilterFactory&) = delete;
    CScriptPageFilterFactory& operator=(const CScriptPageFilterFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~CScriptPageFilterFactory() = default;

    LONG m_refCount = 1;
};
