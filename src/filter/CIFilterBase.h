#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <memory>

#include "filter/CHostProcessInfo.h"
#include "util/ComPtr.h"
#include "util/ModuleCount.h"

// The CHM filter object: IFilter is its primary interface, IPersistFile names
// the file. The IUnknown reached through IPersistFile is the object's identity.
class CIFilterBase : public IFilter, public IPersistFile {
public:
    CIFilterBase();
    CIFilterBase(const CIFilterBase&) = delete;
    CIFilterBase& operator=(const CIFilterBase&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IFilter
    STDMETHODIMP Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes,
                      ULONG* pFlags) override;
    STDMETHODIMP GetChunk(STAT_CHUNK* pStat) override;
    STDMETHODIMP GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer) override;
    STDMETHODIMP GetValue(PROPVARIANT** ppPropValue) override;
    STDMETHODIMP BindRegion(FILTERREGION origPos, REFIID riid, void** ppunk) override;

    // IPersist / IPersistFile
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR pszFileName, DWORD dwMode) override;
    STDMETHODIMP Save(LPCOLESTR pszFileName, BOOL fRemember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR pszFileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName) override;

protected:
    virtual ~CIFilterBase();

    virtual HRESULT DoGetChunk(STAT_CHUNK* pStat);
    virtual HRESULT DoGetText(ULONG* pcwcBuffer, WCHAR* awcBuffer);
    virtual HRESULT DoGetValue(PROPVARIANT** ppPropValue);
    virtual void SetOptions();
    // Narrow title hook: no title. Kept for hosts of the narrow-character build.
    virtual bool GetTitleA(const char* path, char* title, size_t titleSize, ULONG* chunkFlags);
    virtual bool GetTitleW(const wchar_t* path, wchar_t* title, size_t titleCapacity, ULONG* chunkFlags);

    // Lets go of the current page's filter and, where the filter loaded it, its DLL.
    void DropPageFilter();

    // First: counts the object from construction to the end of destruction.
    ModuleLock m_moduleLock;
    ComPtr<IFilter> m_pageFilter;
    ULONG m_initFlags = 0;
    ULONG m_attributeCount = 0;
    ULONG m_chunkCounter = 0;
    volatile LONG m_refCount = 1;
    std::unique_ptr<wchar_t[]> m_fileName;
    bool m_wideTitles = false;
    bool m_logGuid = false;
    bool m_blackList = false;
    bool m_completed = false;
    std::unique_ptr<CHostProcessInfo> m_hostInfo;
    HMODULE m_pageFilterModule = nullptr;
    LONG m_chunkState = 0;
};
