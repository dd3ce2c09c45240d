#pragma once
#include <windows.h>
#include <objidl.h>

#include <string>

// A host's stream over a file's bytes, for tests of filters and readers that
// take their document as a stream. It can be made as awkward as a host's
// stream may be: reads that fail from a given offset or stop short there,
// reads in small pieces or claiming more than they gave, seeks that fail
// after a number of them or to the end, a Stat that names nothing or fails.
class TestStream final : public IStream {
public:
    struct Faults {
        ULONGLONG readFailsFrom = ~0ull;   // a read touching this offset or beyond fails
        ULONGLONG nothingFrom = ~0ull;     // a read starting at this offset or beyond gives nothing
        ULONG largestRead = ~0ul;          // a read gives at most this many bytes
        bool overclaims = false;           // a read that gives bytes claims one more than asked for
        LONG seeksBeforeFailure = -1;      // this many seeks succeed, then all fail; -1: never
        bool endSeekFails = false;         // a seek from the end fails
        bool statFails = false;
    };

    // name may be empty: Stat then gives no name.
    static TestStream* Create(std::string bytes, std::wstring name, const Faults& faults);
    static TestStream* Create(std::string bytes, std::wstring name = L"");

    LONG Refs() const { return m_refCount; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
    TestStream(std::string bytes, std::wstring name, Faults faults)
        : m_bytes(std::move(bytes)), m_name(std::move(name)), m_faults(faults) {}
    ~TestStream() = default;

    volatile LONG m_refCount = 1;
    std::string m_bytes;
    std::wstring m_name;
    Faults m_faults;
    ULONGLONG m_position = 0;
    LONG m_seeks = 0;
};
