#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "CChmTree.h"

// One folder of a CHM as the Windows component shows it. Read-only.
class CStandInStorage : public IStorage {
public:
    // node holds alive the listing its record lies in.
    CStandInStorage(std::shared_ptr<CChmTree> tree, CChmTree::NodePtr node);
    virtual ~CStandInStorage();
    CStandInStorage(const CStandInStorage&) = delete;
    CStandInStorage& operator=(const CStandInStorage&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream** stream) override;
    STDMETHODIMP OpenStream(const OLECHAR* name, void*, DWORD, DWORD, IStream** stream) override;
    STDMETHODIMP CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage** storage) override;
    STDMETHODIMP OpenStorage(const OLECHAR* name, IStorage*, DWORD, SNB, DWORD, IStorage** storage) override;
    STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override;
    STDMETHODIMP MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override;
    STDMETHODIMP Commit(DWORD) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements) override;
    STDMETHODIMP DestroyElement(const OLECHAR*) override;
    STDMETHODIMP RenameElement(const OLECHAR*, const OLECHAR*) override;
    STDMETHODIMP SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override;
    STDMETHODIMP SetClass(REFCLSID) override;
    STDMETHODIMP SetStateBits(DWORD, DWORD) override;
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;

private:
    volatile LONG m_refCount = 1;
    std::shared_ptr<CChmTree> m_tree;
    CChmTree::NodePtr m_node;
    CChmTree::NodePtr m_elements;  // once listed, kept while the storage lives; see CChmTree

};
