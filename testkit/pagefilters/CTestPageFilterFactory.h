#pragma once
#include <windows.h>
#include <unknwn.h>

// Class object of one test page filter class. A factory made with failing set
// refuses every CreateInstance, like a filter whose set-up goes wrong.
class CTestPageFilterFactory final : public IClassFactory {
public:
    CTestPageFilterFactory(unsigned persist, bool failing, const CLSID& clsid);
    CTestPageFilterFactory(const CTestPageFilterFactory&) = delete;
    CTestPageFilterFactory& operator=(const CTestPageFilterFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~CTestPageFilterFactory();

    LONG m_refCount = 1;
    unsigned m_persist;
    bool m_failing;
    CLSID m_clsid;
};
