#include "filter/SubFilterRelay.h"

#include <filterr.h>

#include <cwchar>

#include "util/strings/BoundedString.h"

namespace {
bool IsRobotsWord(const wchar_t* text)
{
    wchar_t lower[8] = {};
    if (FAILED(BoundedCopy(lower, 8, text)))
        return false;  // longer than either word
    CharLowerW(lower);
    return wcscmp(lower, L"noindex") == 0 || wcscmp(lower, L"none") == 0;
}

// The value is the page filter's memory: read and blanked inside the guard.
void BlankRobotsWord(PROPVARIANT* value)
{
    if (value && value->vt == VT_LPWSTR && value->pwszVal && IsRobotsWord(value->pwszVal))
        value->pwszVal[0] = L'\0';
}
}  // namespace

void SubFilterRelay::Hold(ForeignPtr<IFilter>& filter)
{
    Clear();
    m_filter.copy_from(filter);
    m_lastText = S_OK;
    m_faulted = false;
}

void SubFilterRelay::Clear()
{
    m_filter.reset();
    m_lastText = S_OK;
}

template <typename Call>
HRESULT SubFilterRelay::Relay(Call&& call)
{
    if (!m_filter)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    if (!m_filter.call([&hr, &call](IFilter* filter) { hr = call(filter); })) {
        // Its state is unknown now: the pointer has let go of it without a call.
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
    // An error the page filter gave for this chunk's text is given again without
    // asking it; a success, even an unusual one, is always asked for anew, so
    // that the caller's count and buffer are written by the call that answers.
    if (FAILED(m_lastText) && m_lastText != FILTER_E_NO_MORE_TEXT)
        return m_lastText;
    const HRESULT hr = Relay([count, buffer](IFilter* f) { return f->GetText(count, buffer); });
    if (!m_faulted)
        m_lastText = hr;
    return hr;
}

HRESULT SubFilterRelay::GetValue(PROPVARIANT** value)
{
    const HRESULT hr = Relay([value](IFilter* f) {
        const HRESULT got = f->GetValue(value);
        if (got == S_OK && value)
            BlankRobotsWord(*value);
        return got;
    });
    if (m_faulted && value)
        *value = nullptr;
    return hr;
}
