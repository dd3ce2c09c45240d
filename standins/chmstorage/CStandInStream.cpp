#include "CStandInStream.h"

#include <new>
#include <utility>

#include "PlatformHeapCheck.h"
#include "comserver/InterfaceTable.h"
#include "comserver/ServerLock.h"

HRESULT CStandInStream::Wrap(ComPtr<IStream> inner, IStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    if (!inner)
        return E_POINTER;
    *stream = new (std::nothrow) CStandInStream(std::move(inner));
    return *stream ? S_OK : E_OUTOFMEMORY;
}

CStandInStream::CStandInStream(ComPtr<IStream> inner) : m_inner(std::move(inner)) { ServerLock::Increment(); }

CStandInStream::~CStandInStream()
{
    PlatformHeapCheck::Release("IStream::Release", m_inner);
    ServerLock::Decrement();
}

STDMETHODIMP CStandInStream::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {
        {IID_IStream, static_cast<IStream*>(this)},
        {IID_ISequentialStream, static_cast<IStream*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CStandInStream::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CStandInStream::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CStandInStream::Read(void* buffer, ULONG count, ULONG* read)
{
    return PlatformHeapCheck::Around("IStream::Read", [&] { return m_inner->Read(buffer, count, read); });
}

STDMETHODIMP CStandInStream::Write(const void* buffer, ULONG count, ULONG* written)
{
    return PlatformHeapCheck::Around("IStream::Write", [&] { return m_inner->Write(buffer, count, written); });
}

STDMETHODIMP CStandInStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position)
{
    return PlatformHeapCheck::Around("IStream::Seek", [&] { return m_inner->Seek(move, origin, position); });
}

STDMETHODIMP CStandInStream::SetSize(ULARGE_INTEGER size)
{
    return PlatformHeapCheck::Around("IStream::SetSize", [&] { return m_inner->SetSize(size); });
}

STDMETHODIMP CStandInStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                    ULARGE_INTEGER* written)
{
    return PlatformHeapCheck::Around("IStream::CopyTo",
                                     [&] { return m_inner->CopyTo(target, count, read, written); });
}

STDMETHODIMP CStandInStream::Commit(DWORD flags)
{
    return PlatformHeapCheck::Around("IStream::Commit", [&] { return m_inner->Commit(flags); });
}

STDMETHODIMP CStandInStream::Revert()
{
    return PlatformHeapCheck::Around("IStream::Revert", [&] { return m_inner->Revert(); });
}

STDMETHODIMP CStandInStream::LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type)
{
    return PlatformHeapCheck::Around("IStream::LockRegion", [&] { return m_inner->LockRegion(offset, count, type); });
}

STDMETHODIMP CStandInStream::UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type)
{
    return PlatformHeapCheck::Around("IStream::UnlockRegion",
                                     [&] { return m_inner->UnlockRegion(offset, count, type); });
}

STDMETHODIMP CStandInStream::Stat(STATSTG* stat, DWORD flags)
{
    return PlatformHeapCheck::Around("IStream::Stat", [&] { return m_inner->Stat(stat, flags); });
}

STDMETHODIMP CStandInStream::Clone(IStream** copy)
{
    if (!copy)
        return E_POINTER;
    *copy = nullptr;
    ComPtr<IStream> inner;
    const HRESULT hr = PlatformHeapCheck::Around("IStream::Clone", [&] {
        return inner.receive([&](IStream** out) { return m_inner->Clone(out); });
    });
    if (FAILED(hr))
        return hr;
    return Wrap(std::move(inner), copy);
}
