#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "CChmTree.h"

// Enumerates one folder's elements by leaf name, with their sizes.
class CStandInEnum : public IEnumSTATSTG {
public:
    // elements holds the folder's listing alive while the enumerator lives.
    explicit CStandInEnum(CChmTree::NodePtr elements);
    virtual ~CStandInEnum();
    CStandInEnum(const CStandInEnum&) = delete;
    CStandInEnum& operator=(const CStandInEnum&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG count, STATSTG* elements, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumSTATSTG** copy) override;

    // Fills a record for one node; the name is CoTaskMemAlloc'd unless noName.
    static HRESULT Describe(const CChmTree::Node& node, STATSTG* stat, bool noName);

private:
    volatile LONG m_refCount = 1;
    CChmTree::NodePtr m_node;
    size_t m_position = 0;
};
