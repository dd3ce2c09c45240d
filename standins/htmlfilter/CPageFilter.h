#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <propsys.h>

#include <memory>
#include <string>
#include <vector>

#include "CChunkBuilder.h"
#include "CHtmlScanner.h"
#include "CPageDecoder.h"
#include "PageChunk.h"
#include "util/owners/ComPtr.h"

// The reference page filter: hands out the text and meta values of an HTML
// page, or the text of a plain text file, as a search host expects of the
// system's own filters for these types. Like them it takes its document by
// path (IPersistFile) or as a stream (IInitializeWithStream, IPersistStream);
// a class may answer fewer of these, to stand for filters that do.
class CPageFilter : public IFilter, public IPersistFile, public IPersistStream, public IInitializeWithStream {
public:
    enum Takes : unsigned {
        kTakesFile = 1,
        kTakesPersistStream = 2,
        kTakesInitializeWithStream = 4,
        kTakesAll = kTakesFile | kTakesPersistStream | kTakesInitializeWithStream,
    };

    CPageFilter(const CLSID& classId, bool html, unsigned takes = kTakesAll);
    CPageFilter(const CPageFilter&) = delete;
    CPageFilter& operator=(const CPageFilter&) = delete;

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

    // IPersistStream
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // IInitializeWithStream
    STDMETHODIMP Initialize(IStream* pstream, DWORD grfMode) override;

private:
    virtual ~CPageFilter();

    // An attribute the host asked for in Init.
    struct Wanted {
        GUID propSet;
        bool byName;
        PROPID propId;
        std::wstring name;
    };

    HRESULT NextChunk(PageChunk& chunk);
    bool IsWanted(const PageChunk& chunk) const;

    volatile LONG m_refCount = 1;
    const CLSID m_classId;
    const bool m_html;
    const unsigned m_takes;
    // The document: a path, or a stream.
    std::wstring m_path;
    ComPtr<IStream> m_stream;

    // The run started by Init.
    bool m_running = false;
    bool m_inputEnded = false;
    std::unique_ptr<CPageDecoder> m_decoder;
    std::unique_ptr<CChunkBuilder> m_builder;
    std::unique_ptr<CHtmlScanner> m_scanner;
    std::vector<Wanted> m_wanted;
    ULONG m_chunkId = 0;

    // The chunk handed out last.
    bool m_haveChunk = false;
    PageChunk m_chunk;
    size_t m_textGiven = 0;
    bool m_valueGiven = false;
};
