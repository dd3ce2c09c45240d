#pragma once
#include <windows.h>
#include <objbase.h>

#include "util/owners/ComPtr.h"

// One stream of Wine's component as the stand-in hands it out: every call goes
// through to Wine's stream, between the heap checks of PlatformHeapCheck.
class CStandInStream : public IStream {
public:
    // Takes over the reference that inner holds; *stream receives the wrapper.
    static HRESULT Wrap(ComPtr<IStream> inner, IStream** stream);

    CStandInStream(const CStandInStream&) = delete;
    CStandInStream& operator=(const CStandInStream&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override;
    STDMETHODIMP Write(const void* buffer, ULONG count, ULONG* written) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
    STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                        ULARGE_INTEGER* written) override;
    STDMETHODIMP Commit(DWORD flags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) override;
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream** copy) override;

private:
    explicit CStandInStream(ComPtr<IStream> inner);
    virtual ~CStandInStream();

    volatile LONG m_refCount = 1;
    ComPtr<IStream> m_inner;
};
