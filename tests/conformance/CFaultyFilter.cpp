#include "CFaultyFilter.h"

#include <filterr.h>
#include <propidl.h>
#include "support/InterfaceTable.h"

namespace {
constexpr GUID kStorage = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr GUID kSummary = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};

LONG g_liveObjects = 0;
}

CFaultyFilter::CFaultyFilter(Fault fault) : m_fault(fault)
{
    InterlockedIncrement(&g_liveObjects);
}

CFaultyFilter::~CFaultyFilter()
{
    InterlockedDecrement(&g_liveObjects);
}

STDMETHODIMP CFaultyFilter::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {{__uuidof(IFilter), static_cast<IFilter*>(this)}};
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CFaultyFilter::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CFaultyFilter::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

CFaultyFilter::Chunk CFaultyFilter::ChunkAt(size_t index) const
{
    Chunk chunks[kChunks] = {
        {1, CHUNK_VALUE, CHUNK_EOC, 1, L"Faulty title"},
        {2, CHUNK_TEXT, CHUNK_EOP, 2, L"alpha beta gamma delta"},
        {3, CHUNK_VALUE, CHUNK_EOP, 2, L"alpha"},
        {4, CHUNK_TEXT, CHUNK_EOS, 4, m_company ? L"last words, in company" : L"last words"},
    };
    switch (m_fault) {
    case Fault::RepeatedId: chunks[2].id = 2; break;
    case Fault::NoKind: chunks[3].flags = 0; break;
    case Fault::UnknownBreak: chunks[1].breakType = static_cast<CHUNK_BREAKTYPE>(7); break;
    case Fault::SourceNotSeen: chunks[2].source = 4; break;
    case Fault::ValueChangesOnInit:
        if (m_inits > 1)
            chunks[2].text = L"alpha " + std::to_wstring(m_inits);
        break;
    default: break;
    }
    return chunks[index];
}

STDMETHODIMP CFaultyFilter::Init(ULONG, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags)
{
    m_titleAsked = cAttributes == 0;
    for (ULONG i = 0; i < cAttributes; ++i)
        m_titleAsked |= aAttributes[i].guidPropSet == kSummary;
    if (pFlags)
        *pFlags = 0;
    ++m_inits;
    m_company = m_fault == Fault::DiffersWithCompany && g_liveObjects > 1;
    m_chunks = m_fault == Fault::DropsLastChunk && (m_inits > 1 || g_liveObjects > 1) ? kChunks - 1 : kChunks;
    m_next = 0;
    m_ended = false;
    return m_fault == Fault::InitFails ? E_FAIL : S_OK;
}

STDMETHODIMP CFaultyFilter::GetChunk(STAT_CHUNK* pStat)
{
    if (m_next >= m_chunks) {
        const bool again = m_ended;
        m_ended = true;
        if (m_fault == Fault::EndIsFailure || (again && m_fault == Fault::EndOfChunksChanges))
            return E_FAIL;
        return FILTER_E_END_OF_CHUNKS;
    }
    if (m_next == 0 && !m_titleAsked)
        m_next = 1;
    const Chunk chunk = ChunkAt(m_next++);
    m_textOffset = 0;
    m_textEnded = false;
    m_valueCalls = 0;
    *pStat = STAT_CHUNK{};
    pStat->idChunk = chunk.id;
    pStat->breakType = chunk.breakType;
    pStat->flags = static_cast<CHUNKSTATE>(chunk.flags);
    pStat->locale = (m_fault == Fault::ChangesOnInit && chunk.id == 2) ? 0x0409 + m_inits - 1 : 0x0409;
    const bool title = chunk.id == 1;
    pStat->attribute.guidPropSet = title ? kSummary : kStorage;
    pStat->attribute.psProperty.ulKind = PRSPEC_PROPID;
    pStat->attribute.psProperty.propid = title ? 2 : 19;
    pStat->idChunkSource = chunk.source;
    return S_OK;
}

STDMETHODIMP CFaultyFilter::GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    if (m_next == 0 || m_next > kChunks || !(ChunkAt(m_next - 1).flags & CHUNK_TEXT))
        return m_fault == Fault::WrongCallAnswers ? FILTER_E_NO_MORE_TEXT : FILTER_E_NO_TEXT;
    if (m_fault == Fault::TextFails && m_next == 4)
        return E_FAIL;
    if (m_textEnded)
        return m_fault == Fault::TextEndChanges ? FILTER_E_NO_TEXT : FILTER_E_NO_MORE_TEXT;
    const std::wstring text = ChunkAt(m_next - 1).text;
    if (m_textOffset >= text.size()) {
        m_textEnded = true;
        return FILTER_E_NO_MORE_TEXT;
    }
    const ULONG capacity = *pcwcBuffer;
    ULONG count = static_cast<ULONG>(text.size() - m_textOffset);
    if (count > capacity)
        count = capacity;
    text.copy(awcBuffer, count, m_textOffset);
    m_textOffset += count;
    if (m_fault == Fault::SmallBufferLosesText && capacity < 3)
        ++m_textOffset;
    const bool full = count == capacity && m_textOffset < text.size();
    if (full && m_fault == Fault::WritesPastBuffer)
        awcBuffer[count] = L'!';
    *pcwcBuffer = (full && m_fault == Fault::CountTooLarge) ? count + 1 : count;
    return S_OK;
}

STDMETHODIMP CFaultyFilter::GetValue(PROPVARIANT** ppPropValue)
{
    if (m_next == 0 || m_next > kChunks || !(ChunkAt(m_next - 1).flags & CHUNK_VALUE)) {
        if (m_fault == Fault::WrongCallSpoilsText && m_next >= 1 && m_next <= kChunks)
            m_textOffset = ChunkAt(m_next - 1).text.size();
        return m_fault == Fault::WrongCallAnswers ? FILTER_E_NO_MORE_VALUES : FILTER_E_NO_VALUES;
    }
    if (++m_valueCalls > 1)
        return (m_valueCalls >= 3 && m_fault == Fault::ValueEndChanges) ? FILTER_E_NO_VALUES : FILTER_E_NO_MORE_VALUES;
    const std::wstring text = ChunkAt(m_next - 1).text;
    auto* value = static_cast<PROPVARIANT*>(CoTaskMemAlloc(sizeof(PROPVARIANT)));
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (!value || !copy) {
        CoTaskMemFree(value);
        CoTaskMemFree(copy);
        return E_OUTOFMEMORY;
    }
    text.copy(copy, text.size());
    copy[text.size()] = L'\0';
    PropVariantInit(value);
    if (m_fault == Fault::UnknownValueType && m_next == 3) {
        CoTaskMemFree(copy);
        value->vt = VT_VOID;
    } else {
        value->vt = VT_LPWSTR;
        value->pwszVal = copy;
    }
    *ppPropValue = value;
    return S_OK;
}

STDMETHODIMP CFaultyFilter::BindRegion(FILTERREGION, REFIID, void**)
{
    return E_NOTIMPL;
}
