#pragma once
#include <windows.h>
#include <filter.h>
#include <objidl.h>

#include <string>

// A page filter for tests: an IFilter whose persistence interfaces are chosen
// when it is made. It reports its class, loads nothing and has no chunks.
class CTestPageFilter final : public IFilter, public IPersistFile, public IPersistStream, public IPersistStorage {
public:
    enum Persist : unsigned {
        kPersistFile = 1,
        kPersistStream = 2,
        kPersistStorage = 4,
        kPersistAll = kPersistFile | kPersistStream | kPersistStorage,
        // IPersistFile::Load fails.
        kFailLoad = 8,
    };

    CTestPageFilter(unsigned persist, const CLSID& clsid);
    CTestPageFilter(const CTestPageFilter&) = delete;
    CTestPageFilter& operator=(const CTestPageFilter&) = delete;

    // IUnknown (shared by every interface)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IFilter
    STDMETHODIMP Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags) override;
    STDMETHODIMP GetChunk(STAT_CHUNK* pStat) override;
    STDMETHODIMP GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer) override;
    STDMETHODIMP GetValue(PROPVARIANT** ppPropValue) override;
    STDMETHODIMP BindRegion(FILTERREGION origPos, REFIID riid, void** ppunk) override;

    // IPersist (shared by the three persistence interfaces)
    STDMETHODIMP GetClassID(CLSID* pClassID) override;

    // IPersistFile
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR pszFileName, DWORD dwMode) override;
    STDMETHODIMP Save(LPCOLESTR pszFileName, BOOL fRemember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR pszFileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName) override;

    // IPersistStream
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // IPersistStorage
    STDMETHODIMP InitNew(IStorage* pStg) override;
    STDMETHODIMP Load(IStorage* pStg) override;
    STDMETHODIMP Save(IStorage* pStgSave, BOOL fSameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* pStgNew) override;
    STDMETHODIMP HandsOffStorage() override;

private:
    ~CTestPageFilter();

    LONG m_refCount = 1;
    unsigned m_persist;
    CLSID m_clsid;
    std::wstring m_fileName;
};
