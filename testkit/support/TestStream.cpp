#include "support/TestStream.h"

#include <cstring>
#include <new>
#include "support/InterfaceTable.h"

TestStream* TestStream::Create(std::string bytes, std::wstring name, const Faults& faults)
{
    return new TestStream(std::move(bytes), std::move(name), faults);
}

TestStream* TestStream::Create(std::string bytes, std::wstring name)
{
    return Create(std::move(bytes), std::move(name), Faults());
}

STDMETHODIMP TestStream::QueryInterface(REFIID riid, void** ppv)
{
    const InterfaceRow rows[] = {
        {IID_IStream, static_cast<IStream*>(this)},
        {IID_ISequentialStream, static_cast<IStream*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) TestStream::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) TestStream::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP TestStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead)
        *pcbRead = 0;
    const ULONGLONG size = m_bytes.size();
    const ULONGLONG left = m_position < size ? size - m_position : 0;
    ULONG count = left < cb ? static_cast<ULONG>(left) : cb;
    if (count > m_faults.largestRead)
        count = m_faults.largestRead;
    if (m_position >= m_faults.nothingFrom)
        count = 0;
    if (count > 0 && m_position + count > m_faults.readFailsFrom)
        return STG_E_READFAULT;
    if (count > 0)
        std::memcpy(pv, m_bytes.data() + static_cast<size_t>(m_position), count);
    m_position += count;
    if (pcbRead)
        *pcbRead = m_faults.overclaims && count != 0 ? cb + 1 : count;
    return count < cb ? S_FALSE : S_OK;
}

STDMETHODIMP TestStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position)
{
    if (origin == STREAM_SEEK_END && m_faults.endSeekFails)
        return STG_E_INVALIDFUNCTION;
    if (m_faults.seeksBeforeFailure >= 0 && m_seeks++ >= m_faults.seeksBeforeFailure)
        return STG_E_SEEKERROR;
    const LONGLONG base = origin == STREAM_SEEK_SET ? 0
                          : origin == STREAM_SEEK_CUR ? static_cast<LONGLONG>(m_position)
                                                      : static_cast<LONGLONG>(m_bytes.size());
    if (base + move.QuadPart < 0)
        return STG_E_INVALIDFUNCTION;
    m_position = static_cast<ULONGLONG>(base + move.QuadPart);
    if (position)
        position->QuadPart = m_position;
    return S_OK;
}

STDMETHODIMP TestStream::Stat(STATSTG* stat, DWORD flags)
{
    if (!stat)
        return STG_E_INVALIDPOINTER;
    if (m_faults.statFails)
        return E_NOTIMPL;
    std::memset(stat, 0, sizeof(*stat));
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_bytes.size();
    stat->grfMode = STGM_READ;
    if (!(flags & STATFLAG_NONAME) && !m_name.empty()) {
        const size_t bytes = (m_name.size() + 1) * sizeof(wchar_t);
        stat->pwcsName = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (!stat->pwcsName)
            return E_OUTOFMEMORY;
        std::memcpy(stat->pwcsName, m_name.c_str(), bytes);
    }
    return S_OK;
}
