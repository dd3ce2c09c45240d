// The stand-in storage component over a small nested CHM: every folder is a
// storage, names resolve alike before and after a folder is listed, and each
// folder and enumerator holds what it shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crawler/CChmStorage.h"
#include "support/ChmWalk.h"
#include "support/LoadedModule.h"
#include "support/NestedChm.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "support/StorageCalls.h"
#include "util/owners/ComPtr.h"

namespace {
class Chm : public ::testing::Test {
protected:
    ComApartment com;
    ScratchFolder scratch;
};
}

TEST_F(Chm, StandInShowsEveryFolderAsAStorage)
{
    const std::wstring chm = BuildNested(scratch);
    CChmStorage reader;
    ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
    const ChmWalk walk = WalkAll(reader, true);
    EXPECT_EQ(S_FALSE, walk.end);
    EXPECT_EQ(S_OK, walk.readFailure);
    auto has = [&](const wchar_t* key) {
        return std::find(walk.streams.begin(), walk.streams.end(), key) != walk.streams.end();
    };
    for (const wchar_t* key : {L"|#SYSTEM", L"|index.htm", L"|empty.txt", L"a|readme.txt", L"a\\b\\c|deep.htm",
                               L"sub|page2.htm"})
        EXPECT_TRUE(has(key)) << Narrow(key);
    EXPECT_EQ(std::string(kNestedDeep), walk.bytes.at(L"a\\b\\c|deep.htm"));
    EXPECT_EQ(std::string(kNestedReadme), walk.bytes.at(L"a|readme.txt"));
    EXPECT_EQ(std::string(), walk.bytes.at(L"|empty.txt"));
    for (const auto& key : walk.streams)
        EXPECT_EQ(std::wstring::npos, key.find(L'/')) << Narrow(key) << ": leaf names only";
    reader.Close();
    reader.Close();
}

// A folder that has not been listed yet opens its streams straight from the
// file; the answers must be those of the listed folder.
TEST_F(Chm, StandInOpensStreamsByNameAlikeBeforeAndAfterListing)
{
    const std::wstring chm = BuildNested(scratch);
    struct NameCase {
        const wchar_t* folder;
        const wchar_t* name;
        HRESULT hr;
        const char* bytes;  // checked when not null
    };
    const NameCase cases[] = {
        {L"", L"index.htm", S_OK, nullptr},
        {L"", L"INDEX.HTM", S_OK, nullptr},
        {L"", L"#SYSTEM", S_OK, nullptr},
        {L"", L"empty.txt", S_OK, ""},
        {L"", L"a", STG_E_FILENOTFOUND, nullptr},
        {L"", L"a/readme.txt", STG_E_FILENOTFOUND, nullptr},
        {L"", L"a\\readme.txt", STG_E_FILENOTFOUND, nullptr},
        {L"", L"/index.htm", STG_E_FILENOTFOUND, nullptr},
        {L"", L"", STG_E_FILENOTFOUND, nullptr},
        {L"", L"missing.htm", STG_E_FILENOTFOUND, nullptr},
        {L"a", L"readme.txt", S_OK, kNestedReadme},
        {L"a", L"README.TXT", S_OK, kNestedReadme},
        {L"a", L"b", STG_E_FILENOTFOUND, nullptr},
        {L"a", L"b/c/deep.htm", STG_E_FILENOTFOUND, nullptr},
        {L"a", L"index.htm", STG_E_FILENOTFOUND, nullptr},
        {L"a\\b", L"c", STG_E_FILENOTFOUND, nullptr},
        {L"a\\b\\c", L"deep.htm", S_OK, kNestedDeep},
        {L"a\\b\\c", L"readme.txt", STG_E_FILENOTFOUND, nullptr},
    };
    for (const bool listed : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(Narrow(std::wstring(c.folder) + L"|" + c.name) + (listed ? " (listed)" : " (not listed)"));
            const ComPtr<IStorage> folder = OpenFolder(OpenChmRoot(chm), c.folder);
            ASSERT_TRUE(folder);
            ComPtr<IEnumSTATSTG> elements;
            if (listed) {
                ASSERT_EQ(S_OK, folder->EnumElements(0, nullptr, 0, elements.put()));
            }
            ComPtr<IStream> stream;
            EXPECT_EQ(c.hr, stream.receive([&](IStream** out) {
                return folder->OpenStream(c.name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, out);
            }));
            EXPECT_EQ(c.hr == S_OK, static_cast<bool>(stream));
            if (stream && c.bytes) {
                EXPECT_EQ(std::string(c.bytes), ReadStream(stream.get()));
            }
        }
    }
}

// Each folder and enumerator holds what it shows: the storages it was reached
// through may go first.
TEST_F(Chm, StandInFolderOutlivesTheStoragesItWasOpenedFrom)
{
    const std::wstring chm = BuildNested(scratch);
    // The root and the folders above are released as each call returns.
    ComPtr<IStorage> deepest = OpenFolder(OpenChmRoot(chm), L"a\\b\\c");
    ASSERT_TRUE(deepest);
    ComPtr<IEnumSTATSTG> elements;
    {
        const ComPtr<IStorage> a = OpenFolder(OpenChmRoot(chm), L"a");
        ASSERT_TRUE(a);
        ASSERT_EQ(S_OK, a->EnumElements(0, nullptr, 0, elements.put()));
    }
    {
        // Listings of the same file come and go in between.
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
        EXPECT_EQ(S_FALSE, WalkAll(reader, true).end);
    }
    std::vector<std::wstring> names = ElementNames(elements.get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"b", L"readme.txt"}), names);
    ComPtr<IStream> stream;
    ASSERT_EQ(S_OK, deepest->OpenStream(L"deep.htm", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put()));
    EXPECT_EQ(std::string(kNestedDeep), ReadStream(stream.get()));
    ComPtr<IEnumSTATSTG> deepElements;
    ASSERT_EQ(S_OK, deepest->EnumElements(0, nullptr, 0, deepElements.put()));
    EXPECT_EQ(std::vector<std::wstring>{L"deep.htm"}, ElementNames(deepElements.get()));
}
