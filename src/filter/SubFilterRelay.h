#pragma once
#include <windows.h>
#include <filter.h>

#include <stdexcept>

#include "util/ComPtr.h"

// Thrown when a page filter raised an exception inside a call: the boundary
// that catches it answers the host with the code its contract names.
class PageFilterFault : public std::runtime_error {
public:
    PageFilterFault() : std::runtime_error("page filter raised an exception") {}
};

// The pipeline's way to the current page's filter: holds a reference of its own
// and the result of the last GetText on the current chunk, so that a page filter
// that reported an error for a chunk's text is not asked for it again.
class SubFilterRelay {
public:
    SubFilterRelay() = default;
    SubFilterRelay(const SubFilterRelay&) = delete;
    SubFilterRelay& operator=(const SubFilterRelay&) = delete;

    void Hold(IFilter* filter);
    // Lets go of the page filter; one that faulted is forgotten without a call.
    void Clear();
    bool Holds() const { return static_cast<bool>(m_filter); }

    HRESULT GetChunk(STAT_CHUNK* stat);
    HRESULT GetText(ULONG* count, WCHAR* buffer);
    HRESULT GetValue(PROPVARIANT** value);

    HRESULT LastTextResult() const { return m_lastText; }

private:
    template <typename Call>
    HRESULT Relay(Call&& call);

    ComPtr<IFilter> m_filter;
    HRESULT m_lastText = S_OK;
};

// Releases a reference on a page filter, guarded like every call into it. A
// filter that faults on Release is given up.
void ReleaseForeign(ComPtr<IFilter>& filter);
