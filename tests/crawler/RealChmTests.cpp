// The reader over real-world and malformed CHMs from the shared collection.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "support/ChmWalk.h"
#include "CrawlerFixture.h"
#include "crawler/CChmStorage.h"
#include "support/FileBytes.h"
#include "support/FolderEntries.h"
#include "support/LoadedModule.h"
#include "support/WineItssOverride.h"

namespace {
// Every file below a folder, keyed like a walk: "folder\sub|name".
std::map<std::wstring, std::string> Extracted(const std::wstring& root)
{
    std::map<std::wstring, std::string> out;
    for (const auto& [path, bytes] : FilesBelow(root)) {
        const size_t slash = path.rfind(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash);
        out[folder + L"|" + path.substr(slash + 1)] = bytes;
    }
    return out;
}

TEST(RealChm, WalkMatchesExtractChmLib)
{
    ComApartment com;
    const std::wstring real = FromUnix(TAVRINOLEX_SHARED_CHM "/real");
    const std::wstring extract = FromUnix(TAVRINOLEX_CHM_EXTRACT);
    const auto files = FileNamesIn(real);
    if (files.empty())
        GTEST_SKIP() << "no real CHMs in " << TAVRINOLEX_SHARED_CHM "/real";
    size_t streams = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        const std::map<std::wstring, std::string> want = Extracted(extract + L"\\" + file);
        ASSERT_FALSE(want.empty());

        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open((real + L"\\" + file).c_str(), nullptr));
        const ChmWalk walk = WalkAll(reader, true);
        EXPECT_EQ(S_FALSE, walk.end);
        EXPECT_EQ(S_OK, walk.readFailure);
        EXPECT_EQ(walk.streams.size(), walk.bytes.size()) << "each stream once";
        for (const auto& entry : want) {
            const auto found = walk.bytes.find(entry.first);
            if (found == walk.bytes.end())
                ADD_FAILURE() << "not walked: " << Narrow(entry.first);
            else if (found->second != entry.second)
                ADD_FAILURE() << "bytes differ: " << Narrow(entry.first);
        }
        for (const auto& entry : walk.bytes)
            EXPECT_EQ(1u, want.count(entry.first)) << "not extracted: " << Narrow(entry.first);
        streams += walk.streams.size();
    }
    RecordProperty("streams", static_cast<int>(streams));
}

TEST(MalformedChm, OpenedAndWalkedThroughBothComponentsWithoutHarm)
{
    ComApartment com;
    const std::wstring folder = FromUnix(TAVRINOLEX_SHARED_CHM "/malformed");
    const auto files = FileNamesIn(folder);
    if (files.empty())
        GTEST_SKIP() << "no malformed CHMs in " << TAVRINOLEX_SHARED_CHM "/malformed";

    for (bool wineOwn : {false, true}) {
        std::unique_ptr<WineItssOverride> own;
        if (wineOwn) {
            own = std::make_unique<WineItssOverride>();
            ASSERT_TRUE(own->Ready());
        }
        for (const auto& file : files) {
            SCOPED_TRACE(Narrow(file) + (wineOwn ? " (Wine's component)" : " (stand-in)"));
            CChmStorage reader;
            const HRESULT opened = reader.Open((folder + L"\\" + file).c_str(), nullptr);
            const ChmWalk walk = WalkAll(reader, true);
            if (FAILED(opened))
                EXPECT_EQ(E_FAIL, walk.end);
            else
                EXPECT_NE(S_OK, walk.end);
            reader.Close();
            reader.Close();
        }
    }
}
// What the crawler must return for an entry of the listing ("folder\name"),
// worked out from the listing alone: nothing under a top-level name that
// begins with '#' or '$', and no style sheets.
bool Skipped(const std::wstring& path)
{
    const std::wstring leaf = path.substr(path.rfind(L'\\') + 1);
    const size_t dot = leaf.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : leaf.substr(dot);
    CharLowerW(&extension[0]);
    return path[0] == L'#' || path[0] == L'$' || extension == L".css";
}

bool HasFilter(const std::wstring& leaf)
{
    const size_t dot = leaf.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring extension = leaf.substr(dot);
    return lstrcmpiW(extension.c_str(), L".htm") == 0 || lstrcmpiW(extension.c_str(), L".html") == 0 ||
           lstrcmpiW(extension.c_str(), L".txt") == 0;
}

using RealCrawler = CrawlerFixture;

TEST_F(RealCrawler, ReturnsEveryEntryTheSkipRulesLeaveAndExtractsThePagesWithAFilter)
{
    const std::wstring real = FromUnix(TAVRINOLEX_SHARED_CHM "/real");
    const std::wstring extract = FromUnix(TAVRINOLEX_CHM_EXTRACT);
    const auto files = FileNamesIn(real);
    if (files.empty())
        GTEST_SKIP() << "no real CHMs in " << TAVRINOLEX_SHARED_CHM "/real";
    size_t pages = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        std::map<std::wstring, std::string> want;
        for (const auto& entry : FilesBelow(extract + L"\\" + file)) {
            if (!Skipped(entry.first))
                want.insert(entry);
        }

        std::vector<CrawlStep> steps;
        {
            CChmFileCrawler crawler((real + L"\\" + file).c_str(), m_temp.c_str(), 0);
            crawler.SetLocator(&m_locator);
            steps = CrawlAll(crawler, m_temp);
        }
        EXPECT_TRUE(FilesBelow(m_temp).empty()) << "left after destruction";
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, steps.back().hr);
        steps.pop_back();

        std::map<std::wstring, int> returned;
        for (const auto& step : steps) {
            std::wstring path = step.key;
            const size_t bar = path.find(L'|');
            path = bar == 0 ? path.substr(1) : path.replace(bar, 1, L"\\");
            SCOPED_TRACE(Narrow(path));
            EXPECT_EQ(S_OK, step.hr);
            ++returned[path];
            const auto found = want.find(path);
            if (found == want.end()) {
                ADD_FAILURE() << "returned, but not in the listing or skipped";
                continue;
            }
            const std::wstring leaf = path.substr(path.rfind(L'\\') + 1);
            if (HasFilter(leaf)) {
                ++pages;
                EXPECT_EQ(m_temp + L"\\" + FlatName(leaf), step.target);
                EXPECT_TRUE(found->second == step.bytes) << "bytes differ";
                EXPECT_EQ(1u, step.filesOnDisk);
            } else {
                EXPECT_EQ(L"", step.target);
                EXPECT_EQ(0u, step.filesOnDisk);
            }
        }
        for (const auto& entry : want)
            EXPECT_EQ(1, returned[entry.first]) << "returned this often: " << Narrow(entry.first);
    }
    RecordProperty("pages", static_cast<int>(pages));
}

using MalformedCrawler = CrawlerFixture;

TEST_F(MalformedCrawler, EndsWithoutHarmAndLeavesNothing)
{
    const std::wstring folder = FromUnix(TAVRINOLEX_SHARED_CHM "/malformed");
    const auto files = FileNamesIn(folder);
    if (files.empty())
        GTEST_SKIP() << "no malformed CHMs in " << TAVRINOLEX_SHARED_CHM "/malformed";
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        std::vector<CrawlStep> steps;
        {
            CChmFileCrawler crawler((folder + L"\\" + file).c_str(), m_temp.c_str(), 0);
            crawler.SetLocator(&m_locator);
            steps = CrawlAll(crawler, m_temp);
            for (const auto& step : steps)
                EXPECT_LE(step.filesOnDisk, 1u);
        }
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, steps.back().hr);
        EXPECT_TRUE(FilesBelow(m_temp).empty());
    }
}
}
