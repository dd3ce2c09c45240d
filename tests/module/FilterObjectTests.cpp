#include <shlobj.h>

#include <set>
#include <string>

#include "support/HostHarness.h"
#include "support/FolderEntries.h"
#include "support/ScratchFolder.h"
#include "util/owners/CoTaskMemBlock.h"

namespace {

using FilterObject = HostHarness;

ComPtr<IPersistFile> PersistOf(const ComPtr<IFilter>& filter)
{
    ComPtr<IPersistFile> persist;
    EXPECT_EQ(S_OK, filter.query(persist));
    return persist;
}

std::wstring CurFile(IPersistFile* persist, HRESULT want = S_OK)
{
    CoTaskMemBlock<wchar_t> name;
    EXPECT_EQ(want, persist->GetCurFile(name.put()));
    return name ? std::wstring(name.get()) : std::wstring();
}

TEST_F(FilterObject, IdentityThroughBothInterfaces)
{
    auto filter = NewFilter();
    auto persist = PersistOf(filter);

    ComPtr<IUnknown> fromFilter, fromPersist, persistAsUnknown;
    ASSERT_EQ(S_OK, filter.query(fromFilter));
    ASSERT_EQ(S_OK, persist.query(fromPersist));
    EXPECT_EQ(fromFilter.get(), fromPersist.get());
    EXPECT_EQ(static_cast<IUnknown*>(persist.get()), fromFilter.get()) << "identity is the IPersistFile pointer";

    ComPtr<IPersist> asPersist;
    ASSERT_EQ(S_OK, filter.query(asPersist));
    EXPECT_EQ(static_cast<IPersist*>(persist.get()), asPersist.get());

    ComPtr<IFilter> back;
    ASSERT_EQ(S_OK, persist.query(back));
    EXPECT_EQ(filter.get(), back.get());

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, persist->QueryInterface(IID_IPersistStorage, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(FilterObject, ReferenceCountIsSharedByBothInterfaces)
{
    auto filter = NewFilter();
    EXPECT_EQ(2u, filter->AddRef());
    auto persist = PersistOf(filter);  // 3
    EXPECT_EQ(4u, persist->AddRef());
    EXPECT_EQ(3u, persist->Release());
    EXPECT_EQ(2u, filter->Release());
}

TEST_F(FilterObject, FixedAnswersInEveryState)
{
    ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"help.chm", "ITSF");
    auto filter = NewFilter();
    auto persist = PersistOf(filter);

    for (int state = 0; state < 2; ++state) {
        SCOPED_TRACE(state == 0 ? "empty" : "loaded");
        CLSID clsid = {};
        EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
        EXPECT_TRUE(IsEqualCLSID(CLSID_TavrinolexFilter, clsid));
        EXPECT_EQ(S_FALSE, persist->IsDirty());
        EXPECT_EQ(E_FAIL, persist->Save(file.c_str(), TRUE));
        EXPECT_EQ(S_OK, persist->SaveCompleted(file.c_str()));
        void* region = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(E_NOTIMPL, filter->BindRegion(FILTERREGION{}, IID_IUnknown, &region));
        ASSERT_EQ(S_OK, persist->Load(file.c_str(), STGM_READ));
    }
    EXPECT_EQ(std::string("ITSF").size(), [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
        return static_cast<size_t>(data.nFileSizeLow);
    }()) << "Save writes nothing";
}

TEST_F(FilterObject, LoadAndGetCurFile)
{
    ScratchFolder folder;
    const std::wstring first = folder.WriteFile(L"first.chm", "x");
    const std::wstring second = folder.WriteFile(L"Second Help.CHM", "x");
    auto persist = PersistOf(NewFilter());

    EXPECT_EQ(L"", CurFile(persist.get(), E_FAIL));
    ASSERT_EQ(S_OK, persist->Load(first.c_str(), STGM_READ));
    EXPECT_EQ(first, CurFile(persist.get()));
    ASSERT_EQ(S_OK, persist->Load(second.c_str(), 0));
    EXPECT_EQ(second, CurFile(persist.get()));
    // The form hosts use to pass a path on unparsed.
    const std::wstring verbatim = L"\\\\?\\" + first;
    ASSERT_EQ(S_OK, persist->Load(verbatim.c_str(), STGM_READ));
    EXPECT_EQ(verbatim, CurFile(persist.get()));
    ASSERT_EQ(S_OK, persist->Load(second.c_str(), 0));

    // Each call hands out a copy of its own.
    CoTaskMemBlock<wchar_t> a, b;
    ASSERT_EQ(S_OK, persist->GetCurFile(a.put()));
    ASSERT_EQ(S_OK, persist->GetCurFile(b.put()));
    EXPECT_NE(a.get(), b.get());
    a.get()[0] = L'!';
    EXPECT_EQ(second, CurFile(persist.get()));
}

TEST_F(FilterObject, LoadRefusalsKeepTheOldName)
{
    ScratchFolder folder;
    const std::wstring good = folder.WriteFile(L"good.chm", "x");
    const std::wstring sub = folder.MakeFolder(L"sub.chm");
    const std::wstring missing = folder / L"missing.chm";
    const std::wstring tooLong = folder.Path() + L"\\" + std::wstring(260 - folder.Path().size() - 1, L'a');
    const std::wstring farTooLong(5000, L'b');

    struct Case {
        const char* name;
        const wchar_t* path;
    };
    const Case cases[] = {
        {"folder", sub.c_str()},
        {"empty", L""},
        {"null", nullptr},
        {"260 characters", tooLong.c_str()},
        {"5000 characters", farTooLong.c_str()},
        {"missing file", missing.c_str()},
    };
    auto persist = PersistOf(NewFilter());
    ASSERT_EQ(S_OK, persist->Load(good.c_str(), STGM_READ));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(E_INVALIDARG, persist->Load(c.path, STGM_READ));
        EXPECT_EQ(good, CurFile(persist.get()));
    }
}

TEST_F(FilterObject, FilterMethodsHaveNothingToGiveYet)
{
    auto filter = NewFilter();
    ULONG flags = 0;
    EXPECT_EQ(E_FAIL, filter->Init(IFILTER_INIT_APPLY_INDEX_ATTRIBUTES, 0, nullptr, &flags));
    STAT_CHUNK chunk{};
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
    WCHAR text[16];
    ULONG count = 16;
    EXPECT_EQ(FILTER_E_NO_TEXT, filter->GetText(&count, text));
    PROPVARIANT* value = nullptr;
    EXPECT_EQ(FILTER_E_NO_VALUES, filter->GetValue(&value));
    EXPECT_EQ(nullptr, value);
}

// Every entry below a folder, with sizes: what "touched on disk" compares.
std::set<std::wstring> Listing(const std::wstring& root)
{
    std::set<std::wstring> names;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(root)) {
        const std::wstring name = entry.cFileName;
        names.insert(name + L":" + std::to_wstring(entry.nFileSizeLow));
        // Linked folders (the user's shell folders under Wine) lead outside.
        if (IsFolder(entry) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            for (const auto& child : Listing(root + L"\\" + name))
                names.insert(name + L"\\" + child);
        }
    }
    return names;
}

TEST_F(FilterObject, ReleaseWithoutInitTouchesNothingOnDisk)
{
    ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"help.chm", "x");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));

    const std::wstring settings = std::wstring(appData) + L"\\Morvanex";

    const auto tempBefore = Listing(temp);
    const auto settingsBefore = Listing(settings);
    {
        auto filter = NewFilter();
        ASSERT_EQ(S_OK, PersistOf(filter)->Load(file.c_str(), STGM_READ));
    }
    EXPECT_EQ(tempBefore, Listing(temp));
    EXPECT_EQ(settingsBefore, Listing(settings));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(settings.c_str())) << "no settings folder made";
    EXPECT_EQ(S_OK, canUnloadNow());
}

}  // namespace
