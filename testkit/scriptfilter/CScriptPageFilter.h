#pragma once
#include <windows.h>
#include <filter.h>
#include <objidl.h>
#include <propsys.h>

#include <string>

#include "PageScript.h"

// The scriptable test page filter: loads a page file through IPersistFile, or a
// page handed over through IInitializeWithStream, and then plays the page's
// script (PageScript) to whoever calls it.
class CScriptPageFilter final : public IFilter, public IPersistFile, public IInitializeWithStream {
public:
    CScriptPageFilter();
    CScriptPageFilter(const CScriptPageFilter&) = delete;
    CScriptPageFilter& operator=(const CScriptPageFilter&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IFilter
    STDMETHODIMP Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags) override;
    STDMETHODIMP GetChunk(STAT_CHUNK* pStat) override;
    STDMETHODIMP GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer) override;
    STDMETHODIMP GetValue(PROPVARIANT** ppPropValue) override;
    STDMETHODIMP BindRegion(FILTERREGION origPos, REFIID riid, void** ppunk) override;

    // IPersistFile
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR pszFileName, DWORD dwMode) override;
    STDMETHODIMP Save(LPCOLESTR pszFileName, BOOL fRemember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR pszFileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName) override;

    // IInitializeWithStream: the page's name comes from the stream's Stat.
    STDMETHODIMP Initialize(IStream* pstream, DWORD grfMode) override;

private:
    void Take(const std::string& bytes, std::wstring name);

    ~CScriptPageFilter();

    LONG m_refCount = 1;
    PageScript m_script;
    size_t m_next = 0;
    const PageScript::Step* m_current = nullptr;
    size_t m_textOffset = 0;
    bool m_valueGiven = false;
};
