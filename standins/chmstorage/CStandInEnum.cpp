#include "CStandInEnum.h"

#include <cwchar>
#include <new>

#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

CStandInEnum::CStandInEnum(CChmTree::NodePtr elements) : m_node(std::move(elements))
{
    ServerLock::Increment();
}

CStandInEnum::~CStandInEnum()
{
    ServerLock::Decrement();
}

STDMETHODIMP CStandInEnum::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {
        {IID_IEnumSTATSTG, static_cast<IEnumSTATSTG*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CStandInEnum::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CStandInEnum::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

HRESULT CStandInEnum::Describe(const CChmTree::Node& node, STATSTG* stat, bool noName)
{
    *stat = STATSTG{};
    stat->type = node.type;
    stat->cbSize = node.size;
    stat->grfMode = STGM_READ | STGM_SHARE_EXCLUSIVE;
    if (noName)
        return S_OK;
    const size_t bytes = (node.name.size() + 1) * sizeof(wchar_t);
    stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!stat->pwcsName)
        return E_OUTOFMEMORY;
    wmemcpy(stat->pwcsName, node.name.c_str(), node.name.size() + 1);
    return S_OK;
}

STDMETHODIMP CStandInEnum::Next(ULONG count, STATSTG* elements, ULONG* fetched)
{
    if (!elements || (count > 1 && !fetched))
        return E_POINTER;
    ULONG done = 0;
    while (done < count && m_position < m_node->children.size()) {
        const HRESULT hr = Describe(*m_node->children[m_position], &elements[done], false);
        if (FAILED(hr)) {
            while (done > 0)
                CoTaskMemFree(elements[--done].pwcsName);
            return hr;
        }
        ++m_position;
        ++done;
    }
    if (fetched)
        *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP CStandInEnum::Skip(ULONG count)
{
    const size_t left = m_node->children.size() - m_position;
    if (count > left) {
        m_position = m_node->children.size();
        return S_FALSE;
    }
    m_position += count;
    return S_OK;
}

STDMETHODIMP CStandInEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CStandInEnum::Clone(IEnumSTATSTG** copy)
{
    if (!copy)
        return E_POINTER;
    auto* clone = new (std::nothrow) CStandInEnum(m_node);
    if (!clone) {
        *copy = nullptr;
        return E_OUTOFMEMORY;
    }
    clone->m_position = m_position;
    *copy = clone;
    return S_OK;
}
