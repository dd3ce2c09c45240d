#pragma once
#include <windows.h>
#include <unknwn.h>

// Class factory of one reference page filter class (HTML or plain text).
class CPageFilterFactory : public IClassFactory {
public:
    CPageFilterFactory(const CLSID& classId, bool html);
    CPageFilterFactory(const CPageFilterFactory&) = delete;
    CPageFilterFactory& operator=(const CPageFilterFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    virtual ~CPageFilterFactory();

    volatile LONG m_refCount = 1;
    const CLSID m_classId;
    const bool m_html;
};
