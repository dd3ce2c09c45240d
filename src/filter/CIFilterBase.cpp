#include "filter/CIFilterBase.h"

#include <shlobj.h>

#include <cwchar>
#include <new>
#include <string>

#include "crawler/CChmStorage.h"
#include "filter/ChmSystemTitle.h"
#include "filter/NamedMutexLock.h"
#include "util/BoundedString.h"
#include "util/CoTaskMemBlock.h"
#include "util/FileExists.h"
#include "util/FilterClassId.h"
#include "util/FindHandle.h"
#include "util/FolderFind.h"
#include "util/LocalBlock.h"
#include "util/SplitPath.h"

namespace {
constexpr wchar_t kSettingsFolder[] = L"Morvanex";
constexpr wchar_t kSettingsFile[] = L"\\IFilterProcess.ini";
constexpr wchar_t kGuidLogFile[] = L"\\LogGuid.ini";
constexpr wchar_t kDebugSection[] = L"Debug";
constexpr wchar_t kBlackListKey[] = L"BlackList";
constexpr wchar_t kLogGuidKey[] = L"LogGuid";
constexpr wchar_t kBlackListMutex[] = L"Morvanex.IFilterBase.IFilterProcess.03750285";
constexpr wchar_t kGuidLogMutex[] = L"Morvanex.IFilterBase.LogGuid.3409836";
// Attempt marks are read into 10 characters with 9 given, so at most 8 come back.
constexpr DWORD kMarksCapacity = 10;

// FMTID_SummaryInformation, spelled out so that no property-set header is needed.
constexpr GUID kSummaryInformation = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr PROPID kTitleProperty = 2;  // PIDSI_TITLE

bool EndsWithBackslash(const wchar_t* text)
{
    const size_t length = wcslen(text);
    return length > 0 && text[length - 1] == L'\\';
}

// The key of a file in the attempt record: its path. The profile functions end
// a key at its first '=', so a path holding one would never be found again;
// there '=' is written as '|', which no file path can hold. Every other path
// stays its own key, as the records on disk have it.
std::wstring AttemptKey(const wchar_t* fileName)
{
    std::wstring key(fileName);
    for (wchar_t& c : key) {
        if (c == L'=')
            c = L'|';
    }
    return key;
}

bool IsBlankedValue(const wchar_t* text)
{
    wchar_t lower[8] = {};
    if (FAILED(BoundedCopy(lower, 8, text)))
        return false;  // longer than either word
    CharLowerW(lower);
    return wcscmp(lower, L"noindex") == 0 || wcscmp(lower, L"none") == 0;
}
}

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

void CIFilterBase::DropPageFilter()
{
    m_relay.Clear();
    m_pageFilter.reset();
    if (m_hostInfo->Faults().Contains(m_pageFilterModule.get()))
        m_pageFilterModule.detach();  // its objects may still be alive
    else
        m_pageFilterModule.reset();
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
        m_completed = false;
        m_logGuid = false;
        m_blackList = false;
        if (!m_fileName || !FileExists(m_fileName.get()))
            return E_FAIL;

        if (BuildSettingsPaths()) {
            m_blackList = GetPrivateProfileIntW(kDebugSection, kBlackListKey, 0, m_settingsPath.get()) == 1;
            m_logGuid = GetPrivateProfileIntW(kDebugSection, kLogGuidKey, 0, m_settingsPath.get()) == 1;
        }
        if (!BlackListEnter())
            return S_OK;  // refused: no crawler, so the first GetChunk ends the document

        m_initFlags = grfFlags;
        m_attributes.Assign(cAttributes, aAttributes);
        m_chunkCounter = 0;

        std::unique_ptr<wchar_t[]> folder(new wchar_t[kTempPathCapacity]);
        const DWORD length = GetTempPathW(static_cast<DWORD>(kTempPathCapacity), folder.get());
        if (length == 0 || length >= kTempPathCapacity)
            return E_FAIL;
        GUID guid;
        if (FAILED(CoCreateGuid(&guid)))
            return E_FAIL;
        wchar_t name[kFolderNameCapacity];
        FormatFolderName(guid, name, kFolderNameCapacity);
        WriteGuidLog(name);
        if (!EndsWithBackslash(folder.get()) && FAILED(BoundedAppend(folder.get(), kTempPathCapacity, L"\\")))
            return E_FAIL;
        if (FAILED(BoundedAppend(folder.get(), kTempPathCapacity, name)))
            return E_FAIL;
        if (!CreateDirectoryW(folder.get(), nullptr))
            return E_FAIL;
        m_tempFolder = std::move(folder);

        m_crawler = CreateCrawler(m_fileName.get(), m_tempFolder.get());
        if (m_crawler)
            m_crawler->SetLocator(m_hostInfo.get());
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

bool CIFilterBase::BuildSettingsPaths()
{
    std::unique_ptr<wchar_t[]> folder(new wchar_t[kSettingsPathCapacity]());
    // The shell's buffer must hold MAX_PATH characters; ours holds more.
    if (!SHGetSpecialFolderPathW(nullptr, folder.get(), CSIDL_APPDATA, FALSE) || folder[0] == L'\0')
        return false;  // no per-user folder: the settings keep their defaults
    if ((!EndsWithBackslash(folder.get()) && FAILED(BoundedAppend(folder.get(), kSettingsPathCapacity, L"\\"))) ||
        FAILED(BoundedAppend(folder.get(), kSettingsPathCapacity, kSettingsFolder)))
        return false;
    CreateDirectoryW(folder.get(), nullptr);  // it usually exists already

    std::unique_ptr<wchar_t[]> settings(new wchar_t[kSettingsPathCapacity]);
    std::unique_ptr<wchar_t[]> guidLog(new wchar_t[kSettingsPathCapacity]);
    if (FAILED(BoundedCopy(settings.get(), kSettingsPathCapacity, folder.get())) ||
        FAILED(BoundedAppend(settings.get(), kSettingsPathCapacity, kSettingsFile)) ||
        FAILED(BoundedCopy(guidLog.get(), kSettingsPathCapacity, folder.get())) ||
        FAILED(BoundedAppend(guidLog.get(), kSettingsPathCapacity, kGuidLogFile)))
        return false;
    m_settingsPath = std::move(settings);
    m_guidLogPath = std::move(guidLog);
    return true;
}

bool CIFilterBase::BlackListEnter()
{
    if (!m_blackList)
        return true;
    const std::wstring key = AttemptKey(m_fileName.get());
    NamedMutexLock lock(kBlackListMutex);
    if (!lock.Taken())
        return false;
    wchar_t marks[kMarksCapacity] = {};
    GetPrivateProfileStringW(m_hostInfo->HostPath(), key.c_str(), L"", marks, kMarksCapacity - 1,
                             m_settingsPath.get());
    if (wcslen(marks) >= kMaxAttempts)
        return false;
    BoundedAppend(marks, kMarksCapacity, L"x");
    WritePrivateProfileStringW(m_hostInfo->HostPath(), key.c_str(), marks, m_settingsPath.get());
    return true;
}

void CIFilterBase::BlackListLeave()
{
    if (!m_blackList || !m_completed || !m_fileName || !m_settingsPath)
        return;
    const std::wstring key = AttemptKey(m_fileName.get());
    NamedMutexLock lock(kBlackListMutex);
    if (!lock.Taken())
        return;
    wchar_t marks[kMarksCapacity] = {};
    GetPrivateProfileStringW(m_hostInfo->HostPath(), key.c_str(), L"", marks, kMarksCapacity - 1,
                             m_settingsPath.get());
    if (wcslen(marks) < kMaxAttempts)
        WritePrivateProfileStringW(m_hostInfo->HostPath(), key.c_str(), nullptr, m_settingsPath.get());
}

void CIFilterBase::EndAttempt()
{
    BlackListLeave();
    m_completed = false;
}

void CIFilterBase::WriteGuidLog(const wchar_t* folderName)
{
    if (!m_logGuid || !m_guidLogPath)
        return;
    NamedMutexLock lock(kGuidLogMutex);
    if (lock.Taken())
        WritePrivateProfileStringW(m_hostInfo->HostPath(), folderName, m_fileName.get(), m_guidLogPath.get());
}

void CIFilterBase::FormatFolderName(const GUID& guid, wchar_t* name, size_t capacity)
{
    // Data3 in lower case: the folder names already logged by earlier versions look so.
    swprintf(name, capacity, L"%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
             static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
             guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
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
    if (m_tempFolder && m_tempFolder[0])
        DeleteFolderTree(m_tempFolder.get());
    m_tempFolder.reset();
    m_pendingTitle.reset();
    m_titleHandedOut = false;
    m_settingsPath.reset();
    m_guidLogPath.reset();
}

void CIFilterBase::DeleteFolderTree(const wchar_t* folder)
{
    std::unique_ptr<wchar_t[]> pattern(new (std::nothrow) wchar_t[kTempPathCapacity]);
    std::unique_ptr<wchar_t[]> child(new (std::nothrow) wchar_t[kTempPathCapacity]);
    if (!pattern || !child || FAILED(BoundedCopy(pattern.get(), kTempPathCapacity, folder)) ||
        FAILED(BoundedAppend(pattern.get(), kTempPathCapacity, L"\\*.*")))
        return;
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstEntry(pattern.get(), &entry));
    if (find) {
        do {
            if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0)
                continue;
            if (FAILED(BoundedCopy(child.get(), kTempPathCapacity, folder)) ||
                FAILED(BoundedAppend(child.get(), kTempPathCapacity, L"\\")) ||
                FAILED(BoundedAppend(child.get(), kTempPathCapacity, entry.cFileName)))
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction is removed as a link; what it points at is not ours.
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    RemoveDirectoryW(child.get());
                else
                    DeleteFolderTree(child.get());
            } else {
                SetFileAttributesW(child.get(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.get());
            }
        } while (FindNextEntry(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryW(folder);
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

HRESULT CIFilterBase::DoGetChunk(STAT_CHUNK* pStat)
{
    try {
        // No crawler: the run was refused, could not start, or has ended. Only
        // the end of the entries counts as completed (AdvancePage says so).
        if (!m_crawler)
            return FILTER_E_END_OF_CHUNKS;
        m_pendingTitle.reset();
        if (m_chunkCounter == 0) {
            m_chunkCounter = 1;
            return EmitTitleChunk(pStat);
        }
        ++m_chunkCounter;  // once per call, however many pages it passes over
        for (;;) {
            if (!m_pageFilter) {
                ULONG pageFlags = 0;
                const HRESULT advanced = AdvancePage(&pageFlags);
                if (advanced == 1)
                    continue;
                if (advanced != S_OK)
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
    } catch (...) {
        return FILTER_E_END_OF_CHUNKS;
    }
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
        return 1;
    }
    if (hr != S_OK) {
        // Its destruction deletes the last page file.
        m_crawler.reset();
        m_completed = true;
        return FILTER_E_END_OF_CHUNKS;
    }
    if (target[0] == L'\0')
        return 1;  // no page filter for this entry

    // Every call into the page filter's DLL is guarded where it is made; a
    // fault leaves no filter and the DLL in the record of faults.
    m_pageFilterModule = m_hostInfo->LoadPageFilter(target.get(), m_pageFilter);
    if (!m_pageFilter) {
        DropPageFilter();
        return 1;
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
        return 1;
    }
    m_relay.Hold(m_pageFilter);
    return S_OK;
}

HRESULT CIFilterBase::EmitTitleChunk(STAT_CHUNK* pStat)
{
    pStat->idChunk = 1;
    pStat->breakType = CHUNK_NO_BREAK;
    pStat->flags = CHUNK_VALUE;
    pStat->locale = GetSystemDefaultLCID();
    pStat->attribute.guidPropSet = kSummaryInformation;
    pStat->attribute.psProperty.ulKind = PRSPEC_PROPID;
    pStat->attribute.psProperty.propid = kTitleProperty;
    pStat->idChunkSource = 1;
    pStat->cwcStartSource = 0;
    pStat->cwcLenSource = 0;

    std::unique_ptr<wchar_t[]> title(new wchar_t[kTitleCapacity]());
    ULONG flags = CHUNK_VALUE;
    GetTitle(title.get(), kTitleCapacity, &flags);
    const size_t length = wcslen(title.get());
    std::unique_ptr<wchar_t[]> pending(new wchar_t[length + 1]);
    wmemcpy(pending.get(), title.get(), length + 1);
    m_pendingTitle = std::move(pending);
    m_titleHandedOut = false;
    return S_OK;
}

void CIFilterBase::GetTitle(wchar_t* text, size_t capacity, ULONG* flags)
{
    *flags = CHUNK_VALUE;
    std::unique_ptr<wchar_t[]> work(new wchar_t[kTitleCapacity]());
    if (m_wideTitles && !GetTitleW(m_fileName.get(), work.get(), kTitleCapacity, flags)) {
        // The file name without folder and extension.
        wchar_t drive[MAX_PATH], directory[MAX_PATH], name[MAX_PATH], extension[MAX_PATH];
        if (SplitPath(m_fileName.get(), drive, MAX_PATH, directory, MAX_PATH, name, MAX_PATH, extension, MAX_PATH))
            BoundedCopy(work.get(), kTitleCapacity, name);
        else
            work[0] = L'\0';
    }
    BoundedCopy(text, capacity, work.get());
}

HRESULT CIFilterBase::DoGetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    try {
        if (m_chunkState != CHUNK_TEXT || !m_relay.Holds())
            return FILTER_E_NO_TEXT;
        const HRESULT hr = m_relay.GetText(pcwcBuffer, awcBuffer);
        if (m_relay.Faulted()) {
            DropPageFilter();  // the next GetChunk moves on to the next page
            return FILTER_E_NO_TEXT;
        }
        return hr;
    } catch (...) {
        return FILTER_E_NO_TEXT;
    }
}

HRESULT CIFilterBase::DoGetValue(PROPVARIANT** ppPropValue)
{
    try {
        if (m_chunkState != CHUNK_VALUE)
            return FILTER_E_NO_VALUES;
        if (m_pendingTitle) {
            if (m_titleHandedOut) {
                m_pendingTitle.reset();
                return FILTER_E_NO_MORE_VALUES;
            }
            if (!ppPropValue)
                return E_POINTER;
            const size_t length = wcslen(m_pendingTitle.get());
            CoTaskMemBlock<PROPVARIANT> value;
            CoTaskMemBlock<wchar_t> text;
            if (!value.allocate(sizeof(PROPVARIANT)) || !text.allocate((length + 1) * sizeof(wchar_t)))
                return E_OUTOFMEMORY;
            wmemcpy(text.get(), m_pendingTitle.get(), length + 1);
            PropVariantInit(value.get());
            value.get()->vt = VT_LPWSTR;
            value.get()->pwszVal = text.detach();
            *ppPropValue = value.detach();
            m_titleHandedOut = true;
            return S_OK;
        }
        if (!m_relay.Holds())
            return FILTER_E_NO_VALUES;
        const HRESULT hr = m_relay.GetValue(ppPropValue);
        if (m_relay.Faulted()) {
            DropPageFilter();  // the next GetChunk moves on to the next page
            return FILTER_E_END_OF_CHUNKS;
        }
        if (hr != S_OK)
            return hr;
        PROPVARIANT* value = ppPropValue ? *ppPropValue : nullptr;
        // Robots words would keep the whole document out of the index.
        if (value && value->vt == VT_LPWSTR && value->pwszVal && IsBlankedValue(value->pwszVal))
            value->pwszVal[0] = L'\0';
        return S_OK;
    } catch (...) {
        return FILTER_E_END_OF_CHUNKS;
    }
}

void CIFilterBase::SetOptions()
{
    m_wideTitles = true;
}

bool CIFilterBase::GetTitleA(const char*, char*, size_t, ULONG*)
{
    return false;
}

bool CIFilterBase::GetTitleW(const wchar_t* path, wchar_t* title, size_t titleCapacity, ULONG*)
{
    CChmStorage storage;
    if (!path || FAILED(storage.Open(path, nullptr)))
        return false;
    constexpr size_t kNameCapacity = 2048;
    std::unique_ptr<wchar_t[]> name(new wchar_t[kNameCapacity]());
    std::unique_ptr<wchar_t[]> folder(new wchar_t[kNameCapacity]());
    HRESULT hr = storage.First(name.get(), kNameCapacity, folder.get(), kNameCapacity);
    for (; hr == S_OK; hr = storage.Next(name.get(), kNameCapacity, folder.get(), kNameCapacity)) {
        CharUpperW(name.get());
        if (folder[0] == L'\0' && wcscmp(name.get(), L"#SYSTEM") == 0)
            break;
    }
    if (hr != S_OK)
        return false;
    LocalBlock<BYTE> block;
    DWORD size = 0;
    if (FAILED(storage.ReadCurrent(block.put(), &size)) || !block)
        return false;
    return DecodeChmSystemTitle(block.get(), size, title, titleCapacity);
}

// IPersistFile

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
        if (!FileExists(pszFileName))
            return E_INVALIDARG;
        const size_t length = wcslen(pszFileName);  // below MAX_PATH: FileExists checked it

        // The run of the file before ends here, as far as its record goes.
        EndAttempt();
        m_fileName.reset();
        std::unique_ptr<wchar_t[]> name(new (std::nothrow) wchar_t[length + 1]);
        if (!name)
            return E_OUTOFMEMORY;
        if (FAILED(BoundedCopy(name.get(), length + 1, pszFileName)))
            return E_FAIL;
        m_fileName = std::move(name);
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
    const size_t length = wcslen(m_fileName.get());
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
    if (!copy)
        return E_OUTOFMEMORY;
    BoundedCopy(copy, length + 1, m_fileName.get());
    *ppszFileName = copy;
    return S_OK;
}
