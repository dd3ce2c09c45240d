#include "filter/CIFilterBase.h"

#include <cwchar>
#include <new>

#include "filter/ChmSystemTitle.h"
#include "util/strings/BoundedString.h"
#include "util/strings/CoTaskMemCopyOf.h"
#include "util/strings/CopyOf.h"
#include "util/paths/DeleteFolderTree.h"
#include "util/paths/FileExists.h"
#include "util/com/FilterClassId.h"
#include "util/paths/SplitPath.h"

namespace {
// FMTID_SummaryInformation, spelled out so that no property-set header is needed.
constexpr GUID kSummaryInformation = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr PROPID kTitleProperty = 2;  // PIDSI_TITLE

// The interfaces the object answers, each with the base it is reached through.
struct InterfaceEntry {
    const IID* iid;
    void* (*reach)(CIFilterBase* object);
};

template <typename Interface>
void* Reach(CIFilterBase* object)
{
    return static_cast<Interface*>(object);
}

const InterfaceEntry kInterfaces[] = {
    // The identity: the same pointer whichever interface it is asked through.
    {&IID_IUnknown, Reach<IPersistFile>},
    {&__uuidof(IFilter), Reach<IFilter>},
    {&IID_IPersist, Reach<IPersistFile>},
    {&IID_IPersistFile, Reach<IPersistFile>},
    {&IID_IPersistStream, Reach<IPersistStream>},
    {&__uuidof(IInitializeWithStream), Reach<IInitializeWithStream>},
};
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
    m_streamRun.reset();
    Cleanup();
    m_hostInfo.reset();
}

// IUnknown

STDMETHODIMP CIFilterBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    for (const InterfaceEntry& entry : kInterfaces) {
        if (riid == *entry.iid) {
            *ppv = entry.reach(this);
            AddRef();
            return S_OK;
        }
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
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
        m_streamRun.reset();
        Cleanup();
        if (pFlags)
            *pFlags = IFILTER_FLAGS_OLE_PROPERTIES;
        m_initFlags = grfFlags;
        m_attributes.Assign(cAttributes, aAttributes);
        m_chunkCounter = 0;
        if (m_document)
            return InitStreamRun();
        if (!m_fileName || !FileExists(m_fileName.get()))
            return E_FAIL;
        m_runFileName = CopyOf(m_fileName.get());
        if (!m_runFileName)
            return E_FAIL;

        BuildSettingsPaths();
        if (!BlackListEnter())
            return S_OK;  // refused: no crawler, so the first GetChunk ends the document

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
        if (!m_fileName)
            return E_OUTOFMEMORY;
        m_document.reset();
        m_documentName.reset();
        return S_OK;
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

// IPersistStream / IInitializeWithStream

STDMETHODIMP CIFilterBase::Load(IStream* pStm)
{
    try {
        return TakeStream(pStm);
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CIFilterBase::Save(IStream*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CIFilterBase::GetSizeMax(ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CIFilterBase::Initialize(IStream* pstream, DWORD grfMode)
{
    // The contract: a handler is initialised once; a host that wants another
    // document makes another object.
    if (m_streamInitialized)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    // A filter reads: a host that offers it a stream to write to is mistaken.
    if (grfMode & (STGM_WRITE | STGM_READWRITE))
        return STG_E_ACCESSDENIED;
    try {
        const HRESULT hr = TakeStream(pstream);
        if (SUCCEEDED(hr))
            m_streamInitialized = true;
        return hr;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CIFilterBase::TakeStream(IStream* stream)
{
    if (!stream)
        return E_INVALIDARG;
    // The name a stream gives, if any, keys its attempt record and stands in
    // for a missing title. It comes from the host's own stream.
    std::unique_ptr<wchar_t[]> name;
    STATSTG stat{};
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_DEFAULT))) {
        CoTaskMemBlock<wchar_t> owned(stat.pwcsName);
        if (owned && owned.get()[0] != L'\0') {
            name = CopyOf(owned.get());
            if (!name)
                return E_OUTOFMEMORY;
        }
    }
    // The run of the document before ends here, as far as its record goes.
    EndAttempt();
    m_document.copy_from(stream);
    m_documentName = std::move(name);
    m_fileName.reset();
    return S_OK;
}

HRESULT CIFilterBase::InitStreamRun()
{
    // Nothing is written for this run: the attempt record is kept only for a
    // stream that names itself and where the settings file can be written.
    m_settings.ReadWithoutWriting();
    // No record of a file run before may be touched by this run's end.
    m_runFileName.reset();
    m_runDocumentName.reset();
    if (m_documentName) {
        m_runDocumentName = CopyOf(m_documentName.get());
        if (!m_runDocumentName)
            return E_FAIL;
    }
    if (m_documentName && m_settings.BlackList()) {
        m_runFileName = CopyOf(m_documentName.get());
        if (!m_runFileName)
            return E_FAIL;
        if (!BlackListEnter())
            return S_OK;  // refused: no run, so the first GetChunk ends the document
    }
    std::unique_ptr<CStreamRun> run(new CStreamRun(*m_hostInfo));
    if (!run->Open(m_document.get()))
        return E_FAIL;
    m_streamRun = std::move(run);
    return S_OK;
}

// ---- The chunk pipeline ----

HRESULT CIFilterBase::DoGetChunk(STAT_CHUNK* pStat)
{
    // No crawler: the run was refused, could not start, or has ended. Only the
    // end of the entries counts as completed (AdvancePage says so).
    if (!m_crawler && !m_streamRun)
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
    const HRESULT next = m_streamRun ? NextPageFromStream() : NextPageFromFile();
    if (next != kPageReady)
        return next;

    HRESULT init = E_FAIL;
    const ULONG flags = m_initFlags;
    const ULONG count = m_attributes.Count();
    const FULLPROPSPEC* attributes = m_attributes.Data();
    if (!m_pageFilter.call([&init, flags, count, attributes, pageFlags](IFilter* page) {
            init = page->Init(flags, count, attributes, pageFlags);
        }) ||
        init != S_OK) {
        DropPageFilter();
        return kEntrySkipped;
    }
    m_relay.Hold(m_pageFilter);
    return kPageReady;
}

HRESULT CIFilterBase::NextPageFromFile()
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
    return kPageReady;
}

HRESULT CIFilterBase::NextPageFromStream()
{
    switch (m_streamRun->Next(m_pageFilter, m_pageFilterModule)) {
    case CStreamRun::Step::Page:
        return kPageReady;
    case CStreamRun::Step::Skipped:
        DropPageFilter();
        return kEntrySkipped;
    case CStreamRun::Step::End:
        break;
    }
    // Its destruction deletes the last page file and the run's folder.
    m_streamRun.reset();
    m_completed = true;
    return FILTER_E_END_OF_CHUNKS;
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
    // The run's document, as its pages are: Load may have named another since
    // Init. A stream's name, where it gives one, stands for its file's.
    const wchar_t* path = m_streamRun ? m_runDocumentName.get() : m_runFileName.get();
    ChmTitle title;
    const bool found = m_wideTitles && (m_streamRun ? m_streamRun->Title(kTitleCapacity, title)
                                                    : GetTitleW(path, title, flags));
    if (m_wideTitles && !found) {
        // The file name without folder and extension, in the language the
        // file declares, if any.
        wchar_t drive[MAX_PATH], directory[MAX_PATH], name[MAX_PATH], extension[MAX_PATH];
        if (path && SplitPath(path, drive, MAX_PATH, directory, MAX_PATH, name, MAX_PATH, extension, MAX_PATH))
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
