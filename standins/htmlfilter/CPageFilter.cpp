#include "CPageFilter.h"

#include <cwchar>
#include <new>

#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

CPageFilter::CPageFilter(const CLSID& classId, bool html, unsigned takes)
    : m_classId(classId), m_html(html), m_takes(takes)
{
    ServerLock::Increment();
}

CPageFilter::~CPageFilter()
{
    ServerLock::Decrement();
}

STDMETHODIMP CPageFilter::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {
        {__uuidof(IFilter), static_cast<IFilter*>(this)},
        {IID_IPersistFile, static_cast<IPersistFile*>(this), (m_takes & kTakesFile) != 0},
        {IID_IPersist, static_cast<IPersistFile*>(this), (m_takes & kTakesFile) != 0},
        {IID_IPersistStream, static_cast<IPersistStream*>(this), (m_takes & kTakesPersistStream) != 0},
        {IID_IPersist, static_cast<IPersistStream*>(this), (m_takes & kTakesPersistStream) != 0},
        {__uuidof(IInitializeWithStream), static_cast<IInitializeWithStream*>(this),
         (m_takes & kTakesInitializeWithStream) != 0},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CPageFilter::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CPageFilter::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CPageFilter::Init(ULONG, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags)
{
    if (!pFlags || (cAttributes > 0 && !aAttributes))
        return E_INVALIDARG;
    *pFlags = 0;
    try {
        m_running = false;
        m_haveChunk = false;
        m_chunkId = 0;
        m_wanted.clear();
        if (m_path.empty() && !m_stream)
            return E_FAIL;
        for (ULONG i = 0; i < cAttributes; ++i) {
            const PROPSPEC& property = aAttributes[i].psProperty;
            Wanted wanted{aAttributes[i].guidPropSet, property.ulKind == PRSPEC_LPWSTR, 0, {}};
            if (wanted.byName)
                wanted.name = property.lpwstr ? property.lpwstr : L"";
            else
                wanted.propId = property.propid;
            m_wanted.push_back(std::move(wanted));
        }
        auto decoder = std::make_unique<CPageDecoder>();
        const HRESULT hr = m_stream ? decoder->Open(m_stream.get(), m_html) : decoder->Open(m_path.c_str(), m_html);
        if (FAILED(hr))
            return FILTER_E_ACCESS;
        m_decoder = std::move(decoder);
        m_builder = std::make_unique<CChunkBuilder>(m_html);
        m_scanner = m_html ? std::make_unique<CHtmlScanner>(*m_builder) : nullptr;
        m_inputEnded = false;
        m_running = true;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CPageFilter::NextChunk(PageChunk& chunk)
{
    for (;;) {
        while (m_builder->HasChunk()) {
            chunk = m_builder->Take();
            if (IsWanted(chunk))
                return S_OK;
        }
        if (m_inputEnded)
            return FILTER_E_END_OF_CHUNKS;
        std::wstring piece;
        bool end = false;
        const HRESULT hr = m_decoder->Next(piece, end);
        if (FAILED(hr)) {
            // What was read stays readable; the document ends after it.
            end = true;
        }
        if (m_scanner)
            m_scanner->Feed(piece.data(), piece.size());
        else
            m_builder->Text(piece.data(), piece.size());
        if (end) {
            if (m_scanner)
                m_scanner->Finish();
            m_builder->Finish();
            m_inputEnded = true;
            m_decoder.reset();
        }
    }
}

bool CPageFilter::IsWanted(const PageChunk& chunk) const
{
    if (m_wanted.empty())
        return true;
    const bool byName = !chunk.name.empty();
    for (const auto& wanted : m_wanted) {
        if (wanted.propSet != chunk.propSet || wanted.byName != byName)
            continue;
        if (byName ? CompareStringOrdinal(wanted.name.c_str(), -1, chunk.name.c_str(), -1, TRUE) == CSTR_EQUAL
                   : wanted.propId == chunk.propId)
            return true;
    }
    return false;
}

STDMETHODIMP CPageFilter::GetChunk(STAT_CHUNK* pStat)
{
    if (!pStat)
        return E_INVALIDARG;
    if (!m_running)
        return E_UNEXPECTED;
    try {
        m_haveChunk = false;
        const HRESULT hr = NextChunk(m_chunk);
        if (hr != S_OK)
            return hr;
        m_haveChunk = true;
        m_textGiven = 0;
        m_valueGiven = false;

        pStat->idChunk = ++m_chunkId;
        pStat->breakType = m_chunk.breakType;
        pStat->flags = m_chunk.isValue ? CHUNK_VALUE : CHUNK_TEXT;
        pStat->locale = GetSystemDefaultLCID();
        pStat->attribute.guidPropSet = m_chunk.propSet;
        if (m_chunk.name.empty()) {
            pStat->attribute.psProperty.ulKind = PRSPEC_PROPID;
            pStat->attribute.psProperty.propid = m_chunk.propId;
        } else {
            // Valid until the next GetChunk, which is as long as a host may use it.
            pStat->attribute.psProperty.ulKind = PRSPEC_LPWSTR;
            pStat->attribute.psProperty.lpwstr = &m_chunk.name[0];
        }
        pStat->idChunkSource = pStat->idChunk;
        pStat->cwcStartSource = 0;
        pStat->cwcLenSource = 0;
        return S_OK;
    } catch (const std::bad_alloc&) {
        m_running = false;
        return E_OUTOFMEMORY;
    } catch (...) {
        m_running = false;
        return E_FAIL;
    }
}

STDMETHODIMP CPageFilter::GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    if (!pcwcBuffer || !awcBuffer)
        return E_INVALIDARG;
    if (!m_haveChunk || m_chunk.isValue)
        return FILTER_E_NO_TEXT;
    const size_t left = m_chunk.content.size() - m_textGiven;
    if (left == 0)
        return FILTER_E_NO_MORE_TEXT;
    const size_t count = left < *pcwcBuffer ? left : *pcwcBuffer;
    std::wmemcpy(awcBuffer, m_chunk.content.data() + m_textGiven, count);
    m_textGiven += count;
    *pcwcBuffer = static_cast<ULONG>(count);
    return S_OK;
}

STDMETHODIMP CPageFilter::GetValue(PROPVARIANT** ppPropValue)
{
    if (!ppPropValue)
        return E_INVALIDARG;
    *ppPropValue = nullptr;
    if (!m_haveChunk || !m_chunk.isValue)
        return FILTER_E_NO_VALUES;
    if (m_valueGiven)
        return FILTER_E_NO_MORE_VALUES;
    const size_t bytes = (m_chunk.content.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    auto* value = static_cast<PROPVARIANT*>(CoTaskMemAlloc(sizeof(PROPVARIANT)));
    if (!text || !value) {
        CoTaskMemFree(text);
        CoTaskMemFree(value);
        return E_OUTOFMEMORY;
    }
    std::wmemcpy(text, m_chunk.content.c_str(), m_chunk.content.size() + 1);
    PropVariantInit(value);
    value->vt = VT_LPWSTR;
    value->pwszVal = text;
    *ppPropValue = value;
    m_valueGiven = true;
    return S_OK;
}

STDMETHODIMP CPageFilter::BindRegion(FILTERREGION, REFIID, void** ppunk)
{
    if (ppunk)
        *ppunk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CPageFilter::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = m_classId;
    return S_OK;
}

STDMETHODIMP CPageFilter::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP CPageFilter::Load(LPCOLESTR pszFileName, DWORD)
{
    if (!pszFileName || !*pszFileName)
        return E_INVALIDARG;
    try {
        const DWORD attributes = GetFileAttributesW(pszFileName);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return STG_E_FILENOTFOUND;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return E_INVALIDARG;
        m_path = pszFileName;
        m_stream.reset();
        m_running = false;
        m_haveChunk = false;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CPageFilter::Save(LPCOLESTR, BOOL)
{
    return E_FAIL;
}

STDMETHODIMP CPageFilter::SaveCompleted(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP CPageFilter::GetCurFile(LPOLESTR* ppszFileName)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = nullptr;
    if (m_path.empty())
        return E_FAIL;
    const size_t bytes = (m_path.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::wmemcpy(copy, m_path.c_str(), m_path.size() + 1);
    *ppszFileName = copy;
    return S_OK;
}

STDMETHODIMP CPageFilter::Load(IStream* pStm)
{
    if (!pStm)
        return E_INVALIDARG;
    try {
        m_stream.copy_from(pStm);
        m_path.clear();
        m_running = false;
        m_haveChunk = false;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CPageFilter::Save(IStream*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CPageFilter::GetSizeMax(ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CPageFilter::Initialize(IStream* pstream, DWORD grfMode)
{
    if (grfMode & (STGM_WRITE | STGM_READWRITE))
        return STG_E_ACCESSDENIED;
    return Load(pstream);
}
