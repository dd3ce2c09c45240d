#include "filter/CIFilterBase.h"

#include <cwchar>
#include <new>

#include "filter/ChmSystemTitle.h"
#include "util/BoundedString.h"
#include "util/CoTaskMemCopyOf.h"
#include "util/CopyOf.h"
#include "util/DeleteFolderTree.h"
#include "util/FileExists.h"
#include "util/FilterClassId.h"
#include "util/SplitPath.h"

namespace {
// FMTID_SummaryInformation, spelled out so that no property-set header is needed.
constexpr GUID kSummaryInformation = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr PROPID kTitleProperty = 2;  // PIDSI_TITLE
}  // namespace

CIFilterBase::CIFilterBase()
{
    m_hostInfo.reset(new CHostProcessInfo());
    SetOptions();
}

CIFilterBase::~CIFilterBase()
{
    try {
        BlackListLeave();
    } catch (...) {
    }
    m_fileName.reset();
    DropPageFilter();
    // Its destruction deletes the last page file.
    m_crawler.reset();
    Cleanup();
    m_hostInfo.reset();
}

// IUnknown

STDMETHODIMP CIFilterBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == __uuidof(IFilter)) {
        *ppv = static_cast<IFilter*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist || riid == IID_IUnknown) {
        *ppv = static_cast<IPersistFile*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CIFilterBase::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CIFilterBase::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

// IFilter

STDMETHODIMP CIFilterBase::Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags)
{
    try {
        EndAttempt();
        // The page filter and the crawler of an earlier run go before its folder:
        // a page file still open in a page filter could not be deleted.
        DropPageFilter();
        m_crawler.reset();
        Cleanup();
        if (pFlags)
            *pFlags = IFILTER_FLAGS_OLE_PROPERTIES;
        if (!m_fileName || !FileExists(m_fileName.get()))
            return E_FAIL;
        m_runFileName = CopyOf(m_fileName.get());
        if (!m_runFileName)
            return E_FAIL;

        BuildSettingsPaths();
        if (!BlackListEnter())
            return S_OK;  // refused: no crawler, so the first GetChunk ends the document

        m_initFlags = grfFlags;
        m_attributes.Assign(cAttributes, aAttributes);
        m_chunkCounter = 0;

        if (!m_tempFolder.Choose())
            return E_FAIL;
        WriteGuidLog(m_tempFolder.Name());
        if (!m_tempFolder.Make())
            return E_FAIL;

        m_crawler = CreateCrawler(m_runFileName.get(), m_tempFolder.Path());
        if (m_crawler)
            m_crawler->SetLocator(m_hostInfo.get());
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CIFilterBase::GetChunk(STAT_CHUNK* pStat)
{
    if (!pStat)
        return E_INVALIDARG;
    try {
        const HRESULT hr = DoGetChunk(pStat);
        m_chunkState = static_cast<LONG>(pStat->flags);
        return hr;
    } catch (...) {
        return FILTER_E_END_OF_CHUNKS;
    }
}

STDMETHODIMP CIFilterBase::GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    try {
        return DoGetText(pcwcBuffer, awcBuffer);
    } catch (...) {
        return FILTER_E_NO_TEXT;
    }
}

STDMETHODIMP CIFilterBase::GetValue(PROPVARIANT** ppPropValue)
{
    try {
        return DoGetValue(ppPropValue);
    } catch (...) {
        return FILTER_E_END_OF_CHUNKS;
    }
}

STDMETHODIMP CIFilterBase::BindRegion(FILTERREGION, REFIID, void**)
{
    return E_NOTIMPL;
}

// IPersist / IPersistFile

STDMETHODIMP CIFilterBase::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_TavrinolexFilter;
    return S_OK;
}

STDMETHODIMP CIFilterBase::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP CIFilterBase::Load(LPCOLESTR pszFileName, DWORD)
{
    try {
        // Below MAX_PATH characters when it passes.
        if (!FileExists(pszFileName))
            return E_INVALIDARG;
        // The run of the file before ends here, as far as its record goes.
        EndAttempt();
        m_fileName = CopyOf(pszFileName);
        return m_fileName ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CIFilterBase::Save(LPCOLESTR, BOOL)
{
    return E_FAIL;
}

STDMETHODIMP CIFilterBase::SaveCompleted(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP CIFilterBase::GetCurFile(LPOLESTR* ppszFileName)
{
    if (!ppszFileName)
        return E_POINTER;
    if (!m_fileName)
        return E_FAIL;
    CoTaskMemBlock<wchar_t> copy = CoTaskMemCopyOf(m_fileName.get());
    if (!copy)
        return E_OUTOFMEMORY;
    *ppszFileName = copy.detach();
    return S_OK;
}

// ---- The chunk pipeline ----

HRESULT CIFilterBase::DoGetChunk(STAT_CHUNK* pStat)
{
    // No crawler: the run was refused, could not start, or has ended. Only the
    // end of the entries counts as completed (AdvancePage says so).
    if (!m_crawler)
        return FILTER_E_END_OF_CHUNKS;
    m_pendingTitle.Clear();
    if (m_chunkCounter == 0) {
        m_chunkCounter = 1;
        return EmitTitleChunk(pStat);
    }
    ++m_chunkCounter;  // once per call, however many pages it passes over
    for (;;) {
        if (!m_pageFilter) {
            ULONG pageFlags = 0;
            const HRESULT advanced = AdvancePage(&pageFlags);
            if (advanced == kEntrySkipped)
                continue;
            if (advanced != kPageReady)
                return FILTER_E_END_OF_CHUNKS;
        }
        const HRESULT hr = m_relay.GetChunk(pStat);
        if (hr == S_OK) {
            pStat->idChunk = m_chunkCounter;
            pStat->idChunkSource = m_chunkCounter;
            return S_OK;
        }
        // Anything else ends this page only, the codes that ask to be called
        // again and a fault included.
        DropPageFilter();
    }
}

HRESULT CIFilterBase::DoGetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    if (m_chunkState != CHUNK_TEXT || !m_relay.Holds())
        return FILTER_E_NO_TEXT;
    const HRESULT hr = m_relay.GetText(pcwcBuffer, awcBuffer);
    if (m_relay.Faulted()) {
        DropPageFilter();  // the next GetChunk moves on to the next page
        return FILTER_E_NO_TEXT;
    }
    return hr;
}

HRESULT CIFilterBase::DoGetValue(PROPVARIANT** ppPropValue)
{
    if (m_chunkState != CHUNK_VALUE)
        return FILTER_E_NO_VALUES;
    if (m_pendingTitle.Current())
        return m_pendingTitle.Get(ppPropValue);
    if (!m_relay.Holds())
        return FILTER_E_NO_VALUES;
    const HRESULT hr = m_relay.GetValue(ppPropValue);
    if (m_relay.Faulted()) {
        DropPageFilter();  // the next GetChunk moves on to the next page
        // The answer that ends a chunk's values, as the contract allows.
        return FILTER_E_NO_MORE_VALUES;
    }
    return hr;
}

// ---- The steps of a run, as the filter's design names them ----

bool CIFilterBase::BuildSettingsPaths()
{
    m_settings.Read();
    return m_settings.SettingsPath() != nullptr;
}

bool CIFilterBase::BlackListEnter()
{
    return m_settings.BlackListEnter(m_hostInfo->HostPath(), m_runFileName.get());
}

void CIFilterBase::BlackListLeave()
{
    if (m_completed && m_runFileName)
        m_settings.BlackListLeave(m_hostInfo->HostPath(), m_runFileName.get());
}

void CIFilterBase::EndAttempt()
{
    BlackListLeave();
    m_completed = false;
}

void CIFilterBase::WriteGuidLog(const wchar_t* folderName)
{
    m_settings.WriteGuidLog(m_hostInfo->HostPath(), folderName, m_runFileName.get());
}

void CIFilterBase::FormatFolderName(const GUID& guid, wchar_t* name, size_t capacity)
{
    CRunFolder::FormatName(guid, name, capacity);
}

std::unique_ptr<CChmFileCrawler> CIFilterBase::CreateCrawler(const wchar_t* filePath, const wchar_t* tempFolder)
{
    try {
        return std::unique_ptr<CChmFileCrawler>(new CChmFileCrawler(filePath, tempFolder, 0));
    } catch (...) {
        return nullptr;
    }
}

void CIFilterBase::Cleanup()
{
    m_tempFolder.Remove();
    m_pendingTitle.Clear();
    m_settings.Clear();
}

void CIFilterBase::DeleteFolderTree(const wchar_t* folder)
{
    ::DeleteFolderTree(folder);
}

void CIFilterBase::DropPageFilter()
{
    m_relay.Clear();
    m_pageFilter.reset();
    m_pageFilterModule.reset();
}

HRESULT CIFilterBase::AdvancePage(ULONG* pageFlags)
{
    wchar_t name[CFileCrawlerBase::kBufferCapacity];
    wchar_t folder[CFileCrawlerBase::kBufferCapacity];
    std::unique_ptr<wchar_t[]> target(new wchar_t[CFileCrawlerBase::kBufferCapacity]());
    const HRESULT hr = m_crawler->Advance(name, CFileCrawlerBase::kBufferCapacity, folder,
                                          CFileCrawlerBase::kBufferCapacity, target.get(),
                                          CFileCrawlerBase::kBufferCapacity);
    if (hr == S_FALSE) {
        DropPageFilter();
        return kEntrySkipped;  // its extraction failed
    }
    if (hr != S_OK) {
        // Its destruction deletes the last page file.
        m_crawler.reset();
        m_completed = true;
        return FILTER_E_END_OF_CHUNKS;
    }
    if (target[0] == L'\0')
        return kEntrySkipped;  // no page filter for this entry

    // Every call into the page filter's DLL is guarded where it is made; a
    // fault leaves no filter and the DLL in the record of faults.
    m_pageFilterModule = m_hostInfo->LoadPageFilter(target.get(), m_pageFilter);
    if (!m_pageFilter) {
        DropPageFilter();
        return kEntrySkipped;
    }

    HRESULT init = E_FAIL;
    const ULONG flags = m_initFlags;
    const ULONG count = m_attributes.Count();
    const FULLPROPSPEC* attributes = m_attributes.Data();
    if (!m_pageFilter.Call([&init, flags, count, attributes, pageFlags](IFilter* page) {
            init = page->Init(flags, count, attributes, pageFlags);
        }) ||
        init != S_OK) {
        DropPageFilter();
        return kEntrySkipped;
    }
    m_relay.Hold(m_pageFilter);
    return kPageReady;
}

HRESULT CIFilterBase::EmitTitleChunk(STAT_CHUNK* pStat)
{
    ULONG flags = CHUNK_VALUE;
    const ChmTitle title = GetTitle(&flags);
    if (!m_pendingTitle.Set(title.text.c_str()))
        throw std::bad_alloc();

    pStat->idChunk = 1;
    pStat->breakType = CHUNK_NO_BREAK;
    pStat->flags = CHUNK_VALUE;
    // Hosts choose the word breaker by the chunk's locale: the language the
    // help file declares, where it declares one the system knows.
    pStat->locale =
        title.language != 0 && IsValidLocale(title.language, LCID_SUPPORTED) ? title.language : GetSystemDefaultLCID();
    pStat->attribute.guidPropSet = kSummaryInformation;
    pStat->attribute.psProperty.ulKind = PRSPEC_PROPID;
    pStat->attribute.psProperty.propid = kTitleProperty;
    pStat->idChunkSource = 1;
    pStat->cwcStartSource = 0;
    pStat->cwcLenSource = 0;
    return S_OK;
}

ChmTitle CIFilterBase::GetTitle(ULONG* flags)
{
    *flags = CHUNK_VALUE;
    // The run's file, as its pages are: Load may have named another since Init.
    const wchar_t* file = m_runFileName.get();
    ChmTitle title;
    if (m_wideTitles && !GetTitleW(file, title, flags)) {
        // The file name without folder and extension, in the language the
        // file declares, if any.
        wchar_t drive[MAX_PATH], directory[MAX_PATH], name[MAX_PATH], extension[MAX_PATH];
        if (SplitPath(file, drive, MAX_PATH, directory, MAX_PATH, name, MAX_PATH, extension, MAX_PATH))
            title.text = name;
        else
            title.text.clear();
    }
    return title;
}

void CIFilterBase::SetOptions()
{
    m_wideTitles = true;
}

bool CIFilterBase::GetTitleA(const char*, char*, size_t, ULONG*)
{
    return false;
}

bool CIFilterBase::GetTitleW(const wchar_t* path, ChmTitle& title, ULONG*)
{
    return ReadChmSystemTitle(path, kTitleCapacity, title);
}
