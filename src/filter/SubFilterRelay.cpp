#include "filter/SubFilterRelay.h"

#include <filterr.h>

#include "filter/ForeignCall.h"

void ReleaseForeign(ComPtr<IFilter>& filter)
{
    IFilter* raw = filter.detach();
    if (raw)
        CallForeign([raw] { raw->Release(); });
}

void SubFilterRelay::Hold(IFilter* filter)
{
    Clear();
    m_filter.copy_from(filter);
    m_lastText = S_OK;
    m_faulted = false;
}

void SubFilterRelay::Clear()
{
    ReleaseForeign(m_filter);
    m_lastText = S_OK;
}

template <typename Call>
HRESULT SubFilterRelay::Relay(Call&& call)
{
    HRESULT hr = E_FAIL;
    IFilter* filter = m_filter.get();
    if (!CallForeign([&hr, filter, &call] { hr = call(filter); })) {
        // Its state is unknown now: it is not called again, not even to release it.
        m_filter.detach();
        m_lastText = S_OK;
        m_faulted = true;
        return kFaulted;
    }
    return hr;
}

HRESULT SubFilterRelay::GetChunk(STAT_CHUNK* stat)
{
    m_lastText = S_OK;
    return Relay([stat](IFilter* f) { return f->GetChunk(stat); });
}

HRESULT SubFilterRelay::GetText(ULONG* count, WCHAR* buffer)
{
    if (m_lastText != S_OK && m_lastText != FILTER_S_LAST_TEXT && m_lastText != FILTER_E_NO_MORE_TEXT)
        return m_lastText;
    const HRESULT hr = Relay([count, buffer](IFilter* f) { return f->GetText(count, buffer); });
    if (!m_faulted)
        m_lastText = hr;
    return hr;
}

HRESULT SubFilterRelay::GetValue(PROPVARIANT** value)
{
    return Relay([value](IFilter* f) { return f->GetValue(value); });
}
