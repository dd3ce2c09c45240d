#pragma once
#include <windows.h>
#include <propidl.h>

#include <memory>

// The document title as the value of the title chunk: handed out once as a
// VT_LPWSTR, then FILTER_E_NO_MORE_VALUES for as long as that chunk is the
// current one, as hosts and the published IFilter test procedure expect.
class TitleValue {
public:
    // The title of a new title chunk; false when no memory is left for it.
    bool Set(const wchar_t* title);
    // The title chunk is no longer the current one.
    void Clear();
    bool Current() const { return static_cast<bool>(m_text); }

    // S_OK with the value in memory from CoTaskMemAlloc (the caller frees it),
    // then FILTER_E_NO_MORE_VALUES; E_POINTER, E_OUTOFMEMORY.
    HRESULT Get(PROPVARIANT** value);

private:
    std::unique_ptr<wchar_t[]> m_text;
    bool m_handedOut = false;
};
