#pragma once
#include <windows.h>
#include <filter.h>

#include "foreign/ForeignPtr.h"

// The pipeline's way to the current page's filter: holds a reference of its own
// and the result of the last GetText on the current chunk, so that a page filter
// that reported an error for a chunk's text is not asked for it again.
//
// Every call into the page filter is guarded. One that faults answers kFaulted
// and Faulted() tells the caller; the filter's DLL is then in the record of
// faults, and the filter is let go without another call into it (not even
// Release).
class SubFilterRelay {
public:
    SubFilterRelay() = default;
    SubFilterRelay(const SubFilterRelay&) = delete;
    SubFilterRelay& operator=(const SubFilterRelay&) = delete;

    void Hold(ForeignPtr<IFilter>& filter);
    // Lets go of the page filter; one whose DLL faulted is forgotten without a call.
    void Clear();
    bool Holds() const { return static_cast<bool>(m_filter); }

    HRESULT GetChunk(STAT_CHUNK* stat);
    HRESULT GetText(ULONG* count, WCHAR* buffer);
    // A string value "noindex" or "none" (any case) comes back empty: robots
    // words of a page would keep the whole document out of the index. After a
    // fault *value is null, whatever the page filter wrote there.
    HRESULT GetValue(PROPVARIANT** value);

    HRESULT LastTextResult() const { return m_lastText; }
    bool Faulted() const { return m_faulted; }

    static constexpr HRESULT kFaulted = E_UNEXPECTED;

private:
    template <typename Call>
    HRESULT Relay(Call&& call);

    ForeignPtr<IFilter> m_filter;
    HRESULT m_lastText = S_OK;
    bool m_faulted = false;
};
