#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <propsys.h>

#include <memory>

#include "chmformat/ChmTitle.h"
#include "crawler/CChmFileCrawler.h"
#include "filter/CHostProcessInfo.h"
#include "filter/CRunFolder.h"
#include "filter/CRunSettings.h"
#include "filter/CStreamRun.h"
#include "filter/FullPropSpecArray.h"
#include "filter/SubFilterRelay.h"
#include "filter/TitleValue.h"
#include "util/owners/ComPtr.h"
#include "foreign/ForeignModule.h"
#include "foreign/ForeignPtr.h"
#include "util/com/ModuleCount.h"

// The CHM filter object: IFilter is its primary interface; IPersistFile names
// the file, or IInitializeWithStream or IPersistStream hands it over as a
// stream. The IUnknown reached through IPersistFile is the object's identity.
//
// This file holds the COM surface and the chunk pipeline; a run's settings and
// attempt record are CRunSettings, its temporary folder CRunFolder, the title's
// #SYSTEM walk ReadChmSystemTitle and its value TitleValue, the way to the page
// filter (and the value policy on its way) SubFilterRelay, and a run over a
// stream CStreamRun.
class CIFilterBase : public IFilter, public IPersistFile, public IPersistStream, public IInitializeWithStream {
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

    // IPersistStream (IsDirty and GetClassID are shared with IPersistFile)
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // IInitializeWithStream
    STDMETHODIMP Initialize(IStream* pstream, DWORD grfMode) override;

    static constexpr size_t kSettingsPathCapacity = CRunSettings::kPathCapacity;
    static constexpr size_t kTempPathCapacity = CRunFolder::kPathCapacity;
    static constexpr size_t kTitleCapacity = 16384;
    static constexpr size_t kFolderNameCapacity = CRunFolder::kNameCapacity;
    static constexpr DWORD kMaxAttempts = CRunSettings::kMaxAttempts;

    // Deletes a folder's files (read-only ones too) and subfolders, then the folder.
    static void DeleteFolderTree(const wchar_t* folder);
    // The 32 hexadecimal digits that name a run's temporary folder.
    static void FormatFolderName(const GUID& guid, wchar_t* name, size_t capacity);

protected:
    virtual ~CIFilterBase();

    // The work of the IFilter calls; the entry points catch what they raise.
    virtual HRESULT DoGetChunk(STAT_CHUNK* pStat);
    virtual HRESULT DoGetText(ULONG* pcwcBuffer, WCHAR* awcBuffer);
    virtual HRESULT DoGetValue(PROPVARIANT** ppPropValue);
    virtual void SetOptions();
    // Narrow title hook: no title. Kept for hosts of the narrow-character build.
    virtual bool GetTitleA(const char* path, char* title, size_t titleSize, ULONG* chunkFlags);
    virtual bool GetTitleW(const wchar_t* path, ChmTitle& title, ULONG* chunkFlags);

    // ---- The steps of a run, each named as in the filter's design ----

    // Settings, attempt records and the GUID log, for the run's file and host.
    bool BuildSettingsPaths();
    bool BlackListEnter();
    void BlackListLeave();
    void WriteGuidLog(const wchar_t* folderName);
    // Leaves the attempt record of the run before, as its end would, before the
    // object starts another run or takes another file. A run keeps the file it
    // started with, whatever Load names since.
    void EndAttempt();
    std::unique_ptr<CChmFileCrawler> CreateCrawler(const wchar_t* filePath, const wchar_t* tempFolder);
    // Deletes the run's temporary folder and forgets the title and settings paths.
    void Cleanup();
    // Takes a stream as the document for the next Init, in place of a file.
    HRESULT TakeStream(IStream* stream);
    HRESULT InitStreamRun();

    // What AdvancePage answers besides FILTER_E_END_OF_CHUNKS. A fault in a page
    // filter's DLL ends its page; the document goes on, and that DLL is not
    // called again for the object's life.
    static constexpr HRESULT kPageReady = S_OK;
    static constexpr HRESULT kEntrySkipped = S_FALSE;  // nothing from this entry: try the next
    HRESULT AdvancePage(ULONG* pageFlags);
    // The current page's filter, made for the next entry of the run's kind.
    HRESULT NextPageFromFile();
    HRESULT NextPageFromStream();
    HRESULT EmitTitleChunk(STAT_CHUNK* pStat);
    ChmTitle GetTitle(ULONG* flags);

    // Lets go of the current page's filter and, where the filter loaded it, its
    // DLL (a filter whose DLL faulted is abandoned, and its DLL stays loaded).
    void DropPageFilter();

    // First: counts the object from construction to the end of destruction.
    ModuleLock m_moduleLock;
    ForeignPtr<IFilter> m_pageFilter;
    ULONG m_initFlags = 0;
    FullPropSpecArray m_attributes;
    ULONG m_chunkCounter = 0;
    CRunFolder m_tempFolder;
    std::unique_ptr<CChmFileCrawler> m_crawler;
    // The run over a stream, in place of the crawler.
    std::unique_ptr<CStreamRun> m_streamRun;
    TitleValue m_pendingTitle;
    volatile LONG m_refCount = 1;
    std::unique_ptr<wchar_t[]> m_fileName;
    // The document handed over as a stream, in place of m_fileName, and the
    // name its Stat gives (null when it gives none).
    ComPtr<IStream> m_document;
    std::unique_ptr<wchar_t[]> m_documentName;
    // The name of the stream the run that Init started reads, if it gave one.
    std::unique_ptr<wchar_t[]> m_runDocumentName;
    bool m_streamInitialized = false;
    // The file of the run that Init started: its attempt record's key.
    std::unique_ptr<wchar_t[]> m_runFileName;
    CRunSettings m_settings;
    bool m_wideTitles = false;
    bool m_completed = false;
    std::unique_ptr<CHostProcessInfo> m_hostInfo;
    ForeignModule m_pageFilterModule;
    SubFilterRelay m_relay;
    LONG m_chunkState = 0;
};
