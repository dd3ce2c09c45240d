#include "CTestPageFilter.h"

#include <filterr.h>

#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

CTestPageFilter::CTestPageFilter(unsigned persist, const CLSID& clsid) : m_persist(persist), m_clsid(clsid)
{
    ServerLock::Increment();
}

CTestPageFilter::~CTestPageFilter()
{
    ServerLock::Decrement();
}

STDMETHODIMP CTestPageFilter::QueryInterface(REFIID riid, void** ppv)
{
    // IPersist answers through the first persistence interface the filter takes.
    const InterfaceRow rows[] = {
        {IID_IFilter, static_cast<IFilter*>(this)},
        {IID_IPersistFile, static_cast<IPersistFile*>(this), (m_persist & kPersistFile) != 0},
        {IID_IPersistStream, static_cast<IPersistStream*>(this), (m_persist & kPersistStream) != 0},
        {IID_IPersistStorage, static_cast<IPersistStorage*>(this), (m_persist & kPersistStorage) != 0},
        {IID_IPersist, static_cast<IPersistFile*>(this), (m_persist & kPersistFile) != 0},
        {IID_IPersist, static_cast<IPersistStream*>(this), (m_persist & kPersistStream) != 0},
        {IID_IPersist, static_cast<IPersistStorage*>(this), (m_persist & kPersistStorage) != 0},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CTestPageFilter::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CTestPageFilter::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CTestPageFilter::Init(ULONG, ULONG, const FULLPROPSPEC*, ULONG* pFlags)
{
    if (pFlags)
        *pFlags = 0;
    return S_OK;
}

STDMETHODIMP CTestPageFilter::GetChunk(STAT_CHUNK*)
{
    return FILTER_E_END_OF_CHUNKS;
}

STDMETHODIMP CTestPageFilter::GetText(ULONG*, WCHAR*)
{
    return FILTER_E_NO_TEXT;
}

STDMETHODIMP CTestPageFilter::GetValue(PROPVARIANT**)
{
    return FILTER_E_NO_VALUES;
}

STDMETHODIMP CTestPageFilter::BindRegion(FILTERREGION, REFIID, void** ppunk)
{
    if (ppunk)
        *ppunk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = m_clsid;
    return S_OK;
}

STDMETHODIMP CTestPageFilter::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP CTestPageFilter::Load(LPCOLESTR pszFileName, DWORD)
{
    if (!pszFileName)
        return E_POINTER;
    if (m_persist & kFailLoad)
        return STG_E_FILENOTFOUND;
    m_fileName = pszFileName;
    return S_OK;
}

STDMETHODIMP CTestPageFilter::Save(LPCOLESTR, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::SaveCompleted(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP CTestPageFilter::GetCurFile(LPOLESTR* ppszFileName)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::Load(IStream*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::Save(IStream*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::GetSizeMax(ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::InitNew(IStorage*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::Load(IStorage*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::Save(IStorage*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestPageFilter::SaveCompleted(IStorage*)
{
    return S_OK;
}

STDMETHODIMP CTestPageFilter::HandsOffStorage()
{
    return S_OK;
}
