#include "filter/CIFilterBase.h"

#include <cwchar>

#include "util/BoundedString.h"
#include "util/FileExists.h"
#include "util/FilterClassId.h"

CIFilterBase::CIFilterBase()
{
    m_hostInfo.reset(new CHostProcessInfo());
    SetOptions();
}

CIFilterBase::~CIFilterBase()
{
    m_fileName.reset();
    DropPageFilter();
    m_hostInfo.reset();
}

void CIFilterBase::DropPageFilter()
{
    m_pageFilter.reset();
    if (m_pageFilterModule) {
        CoFreeLibrary(m_pageFilterModule);
        m_pageFilterModule = nullptr;
    }
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

STDMETHODIMP CIFilterBase::Init(ULONG, ULONG, const FULLPROPSPEC*, ULONG*)
{
    return E_FAIL;
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

HRESULT CIFilterBase::DoGetChunk(STAT_CHUNK*)
{
    return FILTER_E_END_OF_CHUNKS;
}

HRESULT CIFilterBase::DoGetText(ULONG*, WCHAR*)
{
    return FILTER_E_NO_TEXT;
}

HRESULT CIFilterBase::DoGetValue(PROPVARIANT**)
{
    return FILTER_E_NO_VALUES;
}

void CIFilterBase::SetOptions()
{
    m_wideTitles = true;
}

bool CIFilterBase::GetTitleA(const char*, char*, size_t, ULONG*)
{
    return false;
}

bool CIFilterBase::GetTitleW(const wchar_t*, wchar_t*, size_t, ULONG*)
{
    return false;
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
