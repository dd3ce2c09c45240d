#include "FakeStorage.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "crawler/IITStorage.h"
#include "support/ChmBuilder.h"
#include "support/InterfaceTable.h"
#include "support/ScratchFolder.h"
#include "support/UncompressedChm.h"
#include "support/Utf8.h"

FakeElement Stream(std::wstring name, std::string data)
{
    FakeElement element;
    element.name = std::move(name);
    element.data = std::move(data);
    return element;
}

FakeElement Folder(std::wstring name, std::vector<FakeElement> children)
{
    FakeElement element;
    element.name = std::move(name);
    element.type = STGTY_STORAGE;
    element.children = std::move(children);
    return element;
}

FakeElement Root(std::vector<FakeElement> children)
{
    return Folder(L"", std::move(children));
}

namespace {
template <typename I>
class Counted : public I {
public:
    Counted(const IID& iid, FakeCalls* calls) : m_iid(iid), m_calls(calls) { ++m_calls->liveObjects; }
    virtual ~Counted() { --m_calls->liveObjects; }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const InterfaceRow rows[] = {{m_iid, static_cast<I*>(this)}};
        return QueryInterfaceByTable(rows, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_ref;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    const IID& m_iid;
    FakeCalls* m_calls;
    ULONG m_ref = 1;
};

class FakeStream : public Counted<IStream> {
public:
    FakeStream(const FakeElement* e, FakeCalls* c) : Counted(IID_IStream, c), m_e(e) {}
    STDMETHODIMP Read(void* buffer, ULONG count, ULONG* read) override
    {
        if (FAILED(m_e->readResult))
            return m_e->readResult;
        const size_t left = m_e->data.size() - m_position;
        const ULONG n = static_cast<ULONG>(count < left ? count : left);
        memcpy(buffer, m_e->data.data() + m_position, n);
        m_position += n;
        if (read)
            *read = n;
        return n == count || m_e->shortReadSaysOk ? S_OK : S_FALSE;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
    const FakeElement* m_e;
    size_t m_position = 0;
};

class FakeEnum : public Counted<IEnumSTATSTG> {
public:
    FakeEnum(const FakeElement* e, FakeCalls* c) : Counted(IID_IEnumSTATSTG, c), m_e(e) {}
    STDMETHODIMP Next(ULONG count, STATSTG* out, ULONG* fetched) override
    {
        if (!fetched)
            ++m_calls->nextWithoutFetched;
        ULONG done = 0;
        for (; done < count && m_position < m_e->children.size(); ++done, ++m_position) {
            const FakeElement& child = m_e->children[m_position];
            STATSTG& stat = out[done];
            stat = STATSTG{};
            stat.pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc((child.name.size() + 1) * sizeof(wchar_t)));
            wmemcpy(stat.pwcsName, child.name.c_str(), child.name.size() + 1);
            stat.type = child.type;
            stat.cbSize.QuadPart = child.data.size() + child.missingBytes;
            stat.ctime = child.created;
            stat.atime = child.accessed;
            stat.mtime = child.written;
        }
        if (fetched)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumSTATSTG**) override { return E_NOTIMPL; }

private:
    const FakeElement* m_e;
    size_t m_position = 0;
};

// Like Wine's component, a failed call leaves garbage in its out slot; a
// caller that releases it crashes.
template <typename T>
HRESULT Poisoned(T** out, HRESULT hr)
{
    *out = reinterpret_cast<T*>(static_cast<uintptr_t>(0xBAADF00D));
    return hr;
}

const FakeElement* Child(const FakeElement* e, const wchar_t* name, DWORD type)
{
    for (const auto& child : e->children)
        if (child.type == type && child.name == name)
            return &child;
    return nullptr;
}

class FakeStorage : public Counted<IStorage> {
public:
    FakeStorage(const FakeElement* e, FakeCalls* c) : Counted(IID_IStorage, c), m_e(e) {}
    STDMETHODIMP OpenStream(const OLECHAR* name, void*, DWORD, DWORD, IStream** out) override
    {
        const FakeElement* child = Child(m_e, name, STGTY_STREAM);
        if (!child)
            return STG_E_FILENOTFOUND;
        if (FAILED(child->openResult))
            return Poisoned(out, child->openResult);
        *out = new FakeStream(child, m_calls);
        return S_OK;
    }
    STDMETHODIMP OpenStorage(const OLECHAR* name, IStorage*, DWORD, SNB, DWORD, IStorage** out) override
    {
        const FakeElement* child = Child(m_e, name, STGTY_STORAGE);
        if (!child)
            return STG_E_FILENOTFOUND;
        if (FAILED(child->openResult))
            return Poisoned(out, child->openResult);
        *out = new FakeStorage(child, m_calls);
        return S_OK;
    }
    STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** out) override
    {
        if (FAILED(m_e->enumResult))
            return Poisoned(out, m_e->enumResult);
        *out = new FakeEnum(m_e, m_calls);
        return S_OK;
    }
    STDMETHODIMP CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream**) override { return E_NOTIMPL; }
    STDMETHODIMP CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
    STDMETHODIMP MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP DestroyElement(const OLECHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP RenameElement(const OLECHAR*, const OLECHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetClass(REFCLSID) override { return E_NOTIMPL; }
    STDMETHODIMP SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

private:
    const FakeElement* m_e;
};

class FakeComponent : public Counted<IITStorage> {
public:
    FakeComponent(const FakeElement* root, FakeCalls* c, HRESULT open)
        : Counted(IID_IITStorage, c), m_root(root), m_open(open) {}
    STDMETHODIMP StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP StgIsStorageFile(const WCHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP StgIsStorageILockBytes(ILockBytes*) override { return E_NOTIMPL; }
    STDMETHODIMP StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD, IStorage** out) override
    {
        if (FAILED(m_open))
            return Poisoned(out, m_open);
        *out = new FakeStorage(m_root, m_calls);
        return S_OK;
    }

private:
    const FakeElement* m_root;
    HRESULT m_open;
};

class FakeFactory : public Counted<IClassFactory> {
public:
    FakeFactory(const FakeElement* root, FakeCalls* c, HRESULT open)
        : Counted(IID_IClassFactory, c), m_root(root), m_open(open) {}
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override
    {
        auto* component = new FakeComponent(m_root, m_calls, m_open);
        const HRESULT hr = component->QueryInterface(riid, ppv);
        component->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    const FakeElement* m_root;
    HRESULT m_open;
};
}

IUnknown* NewFakeComponentFactory(const FakeElement* root, FakeCalls* calls, HRESULT openResult)
{
    return new FakeFactory(root, calls, openResult);
}

namespace {
void ListStreams(const FakeElement& folder, const std::string& path,
                 std::vector<std::pair<std::string, std::string>>& streams)
{
    for (const FakeElement& child : folder.children) {
        const std::string name = path + "/" + Utf8(child.name);
        if (child.type == STGTY_STORAGE)
            ListStreams(child, name, streams);
        else
            streams.emplace_back(name, child.data + std::string(child.missingBytes, '\0'));
    }
}
}  // namespace

std::wstring CoverChmPath(const FakeElement& root)
{
    static ScratchFolder scratch;
    static int files = 0;
    std::vector<std::pair<std::string, std::string>> streams;
    ListStreams(root, "", streams);
    return scratch.WriteFile(L"cover-" + std::to_wstring(++files) + L".chm", UncompressedChm(streams));
}
