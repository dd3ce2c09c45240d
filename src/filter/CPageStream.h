#pragma once
#include <windows.h>
#include <objidl.h>

#include <memory>
#include <string>
#include <vector>

#include "util/com/ModuleCount.h"

// A read-only stream over one page's bytes, which a page filter reads through
// IInitializeWithStream or IPersistStream instead of a page file. Read, Seek,
// Stat, CopyTo and Clone work; anything that would change the page is refused
// (STG_E_ACCESSDENIED). Clones share the bytes and keep their own position.
class CPageStream final : public IStream {
public:
    // Takes the page's bytes; name (may be null) is what Stat reports.
    static CPageStream* Create(std::vector<BYTE>&& bytes, const wchar_t* name);

    // The page's bytes, for a page filter that must be given a file instead.
    const std::vector<BYTE>& Bytes() const { return m_page->bytes; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ISequentialStream
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;

    // IStream
    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override;
    STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override;
    STDMETHODIMP Commit(DWORD grfCommitFlags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
    STDMETHODIMP Clone(IStream** ppstm) override;

private:
    struct Page {
        std::vector<BYTE> bytes;
        std::wstring name;
    };

    explicit CPageStream(std::shared_ptr<const Page> page) : m_page(std::move(page)) {}
    ~CPageStream() = default;

    ModuleLock m_moduleLock;
    volatile LONG m_refCount = 1;
    std::shared_ptr<const Page> m_page;
    ULONGLONG m_position = 0;
};
