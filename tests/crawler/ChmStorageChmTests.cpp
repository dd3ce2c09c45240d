// The reader over CHMs compiled by chmcmd, through the stand-in storage
// component registered in the prefix and through Wine's own itss.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "ChmWalk.h"
#include "crawler/CChmStorage.h"
#include "support/ChmBuilder.h"
#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"
#include "support/WineItssOverride.h"
#include "util/ComPtr.h"
#include "util/UniqueHandle.h"

namespace {
const char kDeep[] = "<html><body>deep page</body></html>";
const char kReadme[] = "read me";

std::wstring BuildNested(const ScratchFolder& scratch)
{
    return ChmBuilder(scratch)
        .File("index.htm", "<html><title>Index</title><body>index</body></html>")
        .File("a/readme.txt", kReadme)
        .File("a/b/c/deep.htm", kDeep)
        .File("sub/page2.htm", "<html>page two</html>")
        .File("empty.txt", "")
        .Build();
}

class Chm : public ::testing::Test {
protected:
    ComApartment com;
    ScratchFolder scratch;
};

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
    EXPECT_EQ(std::string(kDeep), walk.bytes.at(L"a\\b\\c|deep.htm"));
    EXPECT_EQ(std::string(kReadme), walk.bytes.at(L"a|readme.txt"));
    EXPECT_EQ(std::string(), walk.bytes.at(L"|empty.txt"));
    for (const auto& key : walk.streams)
        EXPECT_EQ(std::wstring::npos, key.find(L'/')) << Narrow(key) << ": leaf names only";
    reader.Close();
    reader.Close();
}

TEST_F(Chm, WinesOwnComponentReachesOnlyTheRootLevel)
{
    const std::wstring chm = BuildNested(scratch);
    WineItssOverride wine;
    ASSERT_TRUE(wine.Ready());
    CChmStorage reader;
    ASSERT_EQ(S_OK, reader.Open(chm.c_str(), nullptr));
    const ChmWalk walk = WalkAll(reader, true);
    EXPECT_EQ(S_FALSE, walk.end);
    EXPECT_EQ(S_OK, walk.readFailure);
    // Wine names the elements of a sub-storage by their whole path; the walk
    // passes over such names, so only the root's streams arrive.
    for (const auto& key : walk.streams)
        EXPECT_EQ(L'|', key[0]) << Narrow(key);
    EXPECT_EQ(1u, walk.bytes.count(L"|index.htm"));
    EXPECT_EQ(0u, walk.bytes.count(L"a\\b\\c|deep.htm"));
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
        EXPECT_EQ(sizeof(kDeep) - 1, GetFileSize(deep.get(), nullptr));
    }
}
}
