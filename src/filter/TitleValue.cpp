#include "filter/TitleValue.h"

#include <filterr.h>

#include "util/owners/CoTaskMemBlock.h"
#include "util/strings/CoTaskMemCopyOf.h"
#include "util/strings/CopyOf.h"

bool TitleValue::Set(const wchar_t* title)
{
    m_text = CopyOf(title);
    m_handedOut = false;
    return static_cast<bool>(m_text);
}

void TitleValue::Clear()
{
    m_text.reset();
    m_handedOut = false;
}

HRESULT TitleValue::Get(PROPVARIANT** value)
{
    if (m_handedOut)
        return FILTER_E_NO_MORE_VALUES;
    if (!value)
        return E_POINTER;
    CoTaskMemBlock<PROPVARIANT> variant(static_cast<PROPVARIANT*>(CoTaskMemAlloc(sizeof(PROPVARIANT))));
    if (!variant)
        return E_OUTOFMEMORY;
    CoTaskMemBlock<wchar_t> text = CoTaskMemCopyOf(m_text.get());
    if (!text)
        return E_OUTOFMEMORY;
    PropVariantInit(variant.get());
    variant.get()->vt = VT_LPWSTR;
    variant.get()->pwszVal = text.detach();
    *value = variant.detach();
    m_handedOut = true;
    return S_OK;
}
