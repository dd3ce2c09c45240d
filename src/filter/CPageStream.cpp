#include "filter/CPageStream.h"

#include <climits>
#include <cstring>
#include <new>

#include "util/owners/CoTaskMemBlock.h"
#include "util/strings/CoTaskMemCopyOf.h"

CPageStream* CPageStream::Create(std::vector<BYTE>&& bytes, const wchar_t* name)
{
    try {
        std::shared_ptr<Page> page = std::make_shared<Page>();
        page->bytes = std::move(bytes);
        if (name)
            page->name = name;
        return new CPageStream(std::move(page));
    } catch (...) {
        return nullptr;
    }
}

STDMETHODIMP CPageStream::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPageStream::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CPageStream::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CPageStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead)
        *pcbRead = 0;
    if (!pv && cb > 0)
        return STG_E_INVALIDPOINTER;
    const ULONGLONG size = m_page->bytes.size();
    const ULONGLONG left = m_position < size ? size - m_position : 0;
    const ULONG count = left < cb ? static_cast<ULONG>(left) : cb;
    if (count > 0)
        std::memcpy(pv, m_page->bytes.data() + static_cast<size_t>(m_position), count);
    m_position += count;
    if (pcbRead)
        *pcbRead = count;
    // A short read is no error: ISequentialStream answers S_FALSE at the end.
    return count < cb ? S_FALSE : S_OK;
}

STDMETHODIMP CPageStream::Write(const void*, ULONG, ULONG* pcbWritten)
{
    if (pcbWritten)
        *pcbWritten = 0;
    return STG_E_ACCESSDENIED;
}

STDMETHODIMP CPageStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition)
{
    LONGLONG base = 0;
    switch (dwOrigin) {
    case STREAM_SEEK_SET:
        break;
    case STREAM_SEEK_CUR:
        base = static_cast<LONGLONG>(m_position);
        break;
    case STREAM_SEEK_END:
        base = static_cast<LONGLONG>(m_page->bytes.size());
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    // Positions stay below 2^63: a page is at most the reader's cap.
    if ((dlibMove.QuadPart < 0 && -dlibMove.QuadPart > base) ||
        (dlibMove.QuadPart > 0 && dlibMove.QuadPart > LLONG_MAX - base))
        return STG_E_INVALIDFUNCTION;
    m_position = static_cast<ULONGLONG>(base + dlibMove.QuadPart);
    if (plibNewPosition)
        plibNewPosition->QuadPart = m_position;
    return S_OK;
}

STDMETHODIMP CPageStream::SetSize(ULARGE_INTEGER)
{
    return STG_E_ACCESSDENIED;
}

STDMETHODIMP CPageStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten)
{
    if (pcbRead)
        pcbRead->QuadPart = 0;
    if (pcbWritten)
        pcbWritten->QuadPart = 0;
    if (!pstm)
        return STG_E_INVALIDPOINTER;
    const ULONGLONG size = m_page->bytes.size();
    ULONGLONG left = m_position < size ? size - m_position : 0;
    if (cb.QuadPart < left)
        left = cb.QuadPart;
    ULONGLONG written = 0;
    HRESULT hr = S_OK;
    while (written < left) {
        const ULONGLONG piece = left - written < 0x10000000 ? left - written : 0x10000000;
        ULONG done = 0;
        hr = pstm->Write(m_page->bytes.data() + static_cast<size_t>(m_position + written), static_cast<ULONG>(piece),
                         &done);
        written += done;
        if (FAILED(hr) || done == 0)
            break;
    }
    // What was read is what left this stream; the rest stays to be read.
    m_position += written;
    if (pcbRead)
        pcbRead->QuadPart = written;
    if (pcbWritten)
        pcbWritten->QuadPart = written;
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP CPageStream::Commit(DWORD)
{
    return S_OK;  // nothing was ever changed
}

STDMETHODIMP CPageStream::Revert()
{
    return S_OK;
}

STDMETHODIMP CPageStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP CPageStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP CPageStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    if (!pstatstg)
        return STG_E_INVALIDPOINTER;
    STATSTG stat{};
    stat.type = STGTY_STREAM;
    stat.cbSize.QuadPart = m_page->bytes.size();
    stat.grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
    if (!(grfStatFlag & STATFLAG_NONAME) && !m_page->name.empty()) {
        CoTaskMemBlock<wchar_t> name = CoTaskMemCopyOf(m_page->name.c_str());
        if (!name)
            return E_OUTOFMEMORY;
        stat.pwcsName = name.detach();
    }
    *pstatstg = stat;
    return S_OK;
}

STDMETHODIMP CPageStream::Clone(IStream** ppstm)
{
    if (!ppstm)
        return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    CPageStream* clone = new (std::nothrow) CPageStream(m_page);
    if (!clone)
        return E_OUTOFMEMORY;
    clone->m_position = m_position;
    *ppstm = clone;
    return S_OK;
}
