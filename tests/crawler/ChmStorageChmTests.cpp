// The reader over CHMs compiled by chmcmd, through the stand-in storage
// component registered in the prefix and through Wine's own itss.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>

#include "chmformat/CChmReader.h"
#include "crawler/CChmStorage.h"
#include "support/ChmBuilder.h"
#include "support/ChmLayout.h"
#include "support/ChmWalk.h"
#include "support/ClassObjectOverride.h"
#include "support/FileBytes.h"
#include "support/InterfaceTable.h"
#include "support/KeptInputs.h"
#include "support/LoadedModule.h"
#include "support/LzxChm.h"
#include "support/NestedChm.h"
#include "support/ScratchFolder.h"
#include "support/StorageCalls.h"
#include "support/WineItssOverride.h"
#include "util/owners/ComPtr.h"
#include "util/owners/UniqueHandle.h"

namespace {
class Chm : public ::testing::Test {
protected:
    ComApartment com;
    ScratchFolder scratch;
};

// A page longer than our own reader hands out whole is passed over before any
// of it is allocated or decoded, read or extracted; the pages beside it are read.
TEST_F(Chm, PassesOverAPageLongerThanTheCap)
{
    constexpr DWORD kFrames = static_cast<DWORD>(CChmReader::kMaxStreamBytes / 0x8000) + 1;
    const std::wstring chm = scratch.WriteFile(
        L"long.chm", LzxChm(LongRunsSection(kFrames), {{"/long.htm", 0, kFrames * 0x8000ull}, {"/short.htm", 0, 1000}}));
    CChmStorage reader;
    ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
    const ChmWalk walk = WalkAll(reader, true);
    EXPECT_EQ(CChmStorage::kTooLong, walk.failures.at(L"|long.htm"));
    EXPECT_EQ(std::string(1000, 'x'), walk.bytes.at(L"|short.htm"));

    wchar_t name[64];
    wchar_t folder[64];
    HRESULT hr = reader.First(name, 64, folder, 64);
    for (; hr == S_OK && wcscmp(name, L"long.htm") != 0; hr = reader.Next(name, 64, folder, 64)) {
    }
    ASSERT_EQ(S_OK, hr);
    const std::wstring page = scratch / L"long.htm";
    EXPECT_EQ(CChmStorage::kTooLong, reader.ExtractCurrent(page.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(page.c_str()));
}

// Wine names the elements of a sub-storage by their whole path, which the
// walk passes over: the walk gives the root's streams, and every stream of the
// folders is then found by its name, as the directory lists them.
TEST_F(Chm, WinesOwnComponentWalksTheRootAndFindsTheRestByName)
{
    const std::wstring chm = BuildNested(scratch);
    WineItssOverride wine;
    ASSERT_TRUE(wine.Ready());
    CChmStorage reader;
    ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
    const ChmWalk walk = WalkAll(reader, true);
    EXPECT_EQ(S_FALSE, walk.end);
    EXPECT_EQ(S_OK, walk.readFailure);
    EXPECT_EQ(1u, walk.bytes.count(L"|index.htm"));
    EXPECT_EQ(std::string(kNestedDeep), walk.bytes.at(L"a\\b\\c|deep.htm"));
    EXPECT_EQ(walk.bytes.size(), walk.streams.size()) << "every stream once";
}

// The component gives one stream for names it resolves alike: the first
// entry whose name, decoded as UTF-8 leniently, matches without regard to
// ASCII case. Each such stream is handed out once, whether the walk met it
// under two names ("\xFF.htm" and "\xFE.htm" both list as "\xFFFD.htm") or the
// reader reached it by name (the folder's pages, which Wine's walk passes
// over); distinct names of one length, as in CJK help files, all come out.
TEST_F(Chm, EachStreamTheComponentGivesComesOutOnce)
{
    std::string bytes = FileBytes(ChmBuilder(scratch)
                                      .File("x.htm", "bad byte one")
                                      .File("y.htm", "bad byte two")
                                      .File("sub/a.htm", "lower")
                                      .File("sub/b.htm", "upper")
                                      .File("sub/one.htm", "one")
                                      .File("sub/two.htm", "two")
                                      .Build());
    // Renamed in place, as the builder's files cannot be named so.
    const ChmLayout layout(bytes);
    bytes[layout.Entry("/x.htm").namePos + 1] = '\xFF';
    bytes[layout.Entry("/y.htm").namePos + 1] = '\xFE';
    bytes[layout.Entry("/sub/b.htm").namePos + 5] = 'A';
    bytes.replace(layout.Entry("/sub/one.htm").namePos + 5, 3, "\xE4\xB8\x80");
    bytes.replace(layout.Entry("/sub/two.htm").namePos + 5, 3, "\xE4\xB8\x81");
    const std::wstring chm = scratch.WriteFile(L"alike.chm", bytes);
    for (const bool standIn : {true, false}) {
        SCOPED_TRACE(standIn ? "the stand-in" : "Wine's own component");
        std::unique_ptr<WineItssOverride> wine;
        if (!standIn) {
            wine.reset(new WineItssOverride);
            ASSERT_TRUE(wine->Ready());
        }
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
        const ChmWalk walk = WalkAll(reader, true);
        EXPECT_EQ(S_FALSE, walk.end);
        auto count = [&walk](const wchar_t* lowered) {
            return std::count_if(walk.streams.begin(), walk.streams.end(), [lowered](std::wstring key) {
                CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
                return key == lowered;
            });
        };
        EXPECT_EQ(1, count(L"|\xFFFD.htm"));
        EXPECT_EQ(1, count(L"sub|a.htm"));
        EXPECT_EQ("one", walk.bytes.at(L"sub|\x4E00.htm"));
        EXPECT_EQ("two", walk.bytes.at(L"sub|\x4E01.htm"));
        EXPECT_EQ(walk.bytes.size(), walk.streams.size()) << "every stream once";
    }
}

TEST_F(Chm, FlatChmReadsTheSameThroughBothComponents)
{
    const std::wstring chm = ChmBuilder(scratch)
                                 .File("index.htm", "<html><title>Flat</title>index</html>")
                                 .File("page.htm", std::string(70000, 'x'))
                                 .File("style.css", "body {}")
                                 .Build("Flat Help");
    ChmWalk standIn, own;
    {
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
        standIn = WalkAll(reader, true);
    }
    {
        WineItssOverride wine;
        ASSERT_TRUE(wine.Ready());
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
        own = WalkAll(reader, true);
    }
    EXPECT_EQ(S_FALSE, standIn.end);
    EXPECT_EQ(S_FALSE, own.end);
    EXPECT_EQ(own.streams, standIn.streams);
    EXPECT_EQ(own.bytes, standIn.bytes);
    EXPECT_EQ(std::string(70000, 'x'), own.bytes.at(L"|page.htm"));
}

TEST_F(Chm, MirrorModeRecreatesTheFolderTree)
{
    const std::wstring chm = BuildNested(scratch);
    for (const wchar_t* suffix : {L"", L"\\"}) {
        SCOPED_TRACE(Narrow(suffix));
        const std::wstring mirror = scratch.MakeFolder(suffix[0] ? L"with" : L"without");
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open(chm.c_str(), (mirror + suffix).c_str()));
        wchar_t name[257], folder[2049];
        for (HRESULT hr = reader.First(name, 257, folder, 2049); hr == S_OK; hr = reader.Next(name, 257, folder, 2049)) {
            std::wstring path = mirror + L"\\";
            if (folder[0])
                path += std::wstring(folder) + L"\\";
            // Wine's streams report a read of zero bytes as S_FALSE.
            EXPECT_TRUE(SUCCEEDED(reader.ExtractCurrent((path + name).c_str()))) << Narrow(path + name);
        }
        reader.Close();
        for (const wchar_t* file : {L"\\index.htm", L"\\a\\readme.txt", L"\\a\\b\\c\\deep.htm", L"\\sub\\page2.htm"})
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((mirror + file).c_str())) << Narrow(file);
        UniqueHandle deep(CreateFileW((mirror + L"\\a\\b\\c\\deep.htm").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(deep);
        EXPECT_EQ(sizeof(kNestedDeep) - 1, GetFileSize(deep.get(), nullptr));
    }
}

}

// Through the reader, the pages in damaged frames are refused before the
// component reads them, and the others are read.
TEST(ChmDamagedFrames, ReaderRefusesOnlyThePagesInDamagedFrames)
{
    ComApartment com;
    const std::wstring folder = FromUnix(TAVRINOLEX_KEPT_INPUTS "/heap");
    for (const wchar_t* name : kDamagedFrameInputs) {
        SCOPED_TRACE(Narrow(name));
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open((folder + L"\\" + name).c_str(), nullptr));
        const ChmWalk walk = WalkAll(reader, true);
        const auto refused = std::count_if(walk.failures.begin(), walk.failures.end(),
                                           [](const auto& failure) { return failure.second == STG_E_DOCFILECORRUPT; });
        EXPECT_GT(refused, 0);
        EXPECT_FALSE(walk.bytes.empty());
    }
}

namespace {
// Stands for the storage component, and before it lets Wine's own open the
// file, tries to put another file in its place and to write into it: what
// could happen to a file between our check and the component's open.
class ReplacingComponent final : public IITStorage, public IClassFactory {
public:
    ReplacingComponent(IITStorage* real, std::wstring replacement) : m_replacement(std::move(replacement))
    {
        m_real.copy_from(real);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const InterfaceRow rows[] = {
            {IID_IClassFactory, static_cast<IClassFactory*>(this)},
            {IID_IITStorage, static_cast<IITStorage*>(this)},
        };
        return QueryInterfaceByTable(rows, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override { return QueryInterface(riid, ppv); }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP StgIsStorageFile(const WCHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP StgIsStorageILockBytes(ILockBytes*) override { return E_NOTIMPL; }
    STDMETHODIMP StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                                IStorage** storage) override
    {
        replaced = MoveFileExW(m_replacement.c_str(), name, MOVEFILE_REPLACE_EXISTING) != FALSE;
        written = static_cast<bool>(UniqueHandle(CreateFileW(
            name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr)));
        // Wine's MoveFileExW fails on a file held open whatever the sharing:
        // an open for deletion is what the check's sharing alone decides.
        deletable = static_cast<bool>(UniqueHandle(CreateFileW(
            name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr)));
        return m_real->StgOpenStorage(name, priority, mode, exclude, reserved, storage);
    }

    bool replaced = false;
    bool written = false;
    bool deletable = false;

private:
    ~ReplacingComponent() = default;

    volatile LONG m_refs = 1;
    ComPtr<IITStorage> m_real;
    std::wstring m_replacement;
};
}  // namespace

// The bytes our check reads are the bytes the component opens: from the check
// until the component has opened the file, nobody can replace it or write it.
TEST_F(Chm, TheFileCheckedIsTheFileOpened)
{
    const std::wstring chm = ChmBuilder(scratch).File("a.htm", "<html><body>checked</body></html>").Build("Checked");
    const std::wstring other =
        ChmBuilder(scratch, L"other").File("a.htm", "<html><body>unchecked</body></html>").Build("Other", "other.chm");

    ComPtr<IITStorage> real;
    {
        WineItssOverride wine;
        ASSERT_TRUE(wine.Ready());
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                         real.put_void()));
    }
    ComPtr<ReplacingComponent> component(new ReplacingComponent(real.get(), other));
    ClassObjectOverride replacing(CLSID_ITStorage, static_cast<IClassFactory*>(component.get()));
    ASSERT_EQ(S_OK, replacing.Result());

    CChmStorage reader;
    const HRESULT opened = reader.Open(chm.c_str(), nullptr);
    EXPECT_FALSE(component->replaced) << "the file was replaced after its check";
    EXPECT_FALSE(component->written) << "the file could be written after its check";
    EXPECT_FALSE(component->deletable) << "the file could be deleted or renamed after its check";
    ASSERT_EQ(S_OK, opened);
    const ChmWalk walk = WalkAll(reader, true);
    EXPECT_EQ(std::string("<html><body>checked</body></html>"), walk.bytes.at(L"|a.htm"));
}
