// The CHM crawler over storage trees made in the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <filterr.h>

#include "CrawlerFixture.h"
#include "FakeStorage.h"
#include "support/ClassObjectOverride.h"
#include "util/owners/ComPtr.h"

namespace {

// A crawler over a fake tree: the fake serves CLSID_ITStorage for as long as
// this object lives, and the crawler opens it on its first Advance.
class FakeCrawl {
public:
    FakeCrawl(const FakeElement& root, CHostProcessInfo& locator, const std::wstring& temp, int mode = 0)
        : m_factory(NewFakeComponentFactory(&root, &m_calls)),
          m_override(CLSID_ITStorage, m_factory.get()),
          m_crawler(std::make_unique<CChmFileCrawler>(CoverChmPath(root).c_str(), temp.c_str(), mode))
    {
        EXPECT_EQ(S_OK, m_override.Result());
        m_crawler->SetLocator(&locator);
    }

    CChmFileCrawler& operator*() { return *m_crawler; }
    CChmFileCrawler* operator->() { return m_crawler.get(); }
    void Destroy() { m_crawler.reset(); }

private:
    FakeCalls m_calls;
    ComPtr<IUnknown> m_factory;
    ClassObjectOverride m_override;
    std::unique_ptr<CChmFileCrawler> m_crawler;
};

using FakeCrawler = CrawlerFixture;

TEST_F(FakeCrawler, PassesOverInternalEntriesAndStyleSheetsAndWritesOnePageAtATime)
{
    const FakeElement root = Root({
        Stream(L"#SYSTEM", "system"),
        Stream(L"$OBJINST", "objects"),
        Folder(L"$WWKeywordLinks", {Stream(L"Property.htm", "p")}),
        Folder(L"#IDXHDR", {Stream(L"hidden.htm", "h")}),
        Stream(L"introduction.htm", "intro"),
        Stream(L"index.html", "index"),
        Stream(L"a.b.c.htm", "abc"),
        Stream(L"style.CSS", "css"),
        Stream(L"style.css.htm", "not a style sheet"),
        Stream(L"readme", "no extension"),
        Stream(L"pic.gif", "no filter"),
        Stream(L"notes.", "lone dot"),
        Stream(L"empty.txt", ""),
        Stream(L"con.htm", "device name"),
        Stream(L"Com1 .txt", "device name"),
        Stream(L"lpt\u00B2.htm", "device name"),
        Stream(L"COM\u00B9.txt", "device name"),
        Stream(L"console.htm", "file name"),
        Folder(L"docs", {
            Stream(L"#page.htm", "in a folder"),
            Stream(L"main.css", "css"),
            Folder(L"deep", {Stream(L"$odd.txt", "deep down")}),
        }),
    });
    struct Want {
        const wchar_t* key;
        const wchar_t* flat;  // empty: not extracted
        const char* bytes;
    };
    const Want want[] = {
        {L"|introduction.htm", L"introduc.htm", "intro"},
        {L"|index.html", L"index.html", "index"},
        {L"|a.b.c.htm", L"a.b.c.htm", "abc"},
        {L"|style.css.htm", L"style.cs.htm", "not a style sheet"},
        {L"|readme", L"", ""},
        {L"|pic.gif", L"", ""},
        {L"|notes.", L"", ""},
        {L"|empty.txt", L"empty.txt", ""},
        // Device names would send the page to the console or a port.
        {L"|con.htm", L"_con.htm", "device name"},
        {L"|Com1 .txt", L"_Com1 .txt", "device name"},
        {L"|lpt\u00B2.htm", L"_lpt\u00B2.htm", "device name"},
        {L"|COM\u00B9.txt", L"_COM\u00B9.txt", "device name"},
        {L"|console.htm", L"console.htm", "file name"},
        {L"docs|#page.htm", L"#page.htm", "in a folder"},
        {L"docs\\deep|$odd.txt", L"$odd.txt", "deep down"},
    };

    FakeCrawl crawl(root, m_locator, m_temp);
    wchar_t name[8] = L"x", folder[8] = L"x", extracted[8] = L"x";
    EXPECT_EQ(0, crawl->GetCurrent(name, 8, folder, 8, extracted, 8)) << "before the first Advance";
    EXPECT_STREQ(L"x", name);

    const auto steps = CrawlAll(*crawl, m_temp);
    ASSERT_EQ(std::size(want) + 1, steps.size());
    for (size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(Narrow(want[i].key));
        EXPECT_EQ(S_OK, steps[i].hr);
        EXPECT_EQ(want[i].key, steps[i].key);
        const std::wstring target = want[i].flat[0] ? m_temp + L"\\" + want[i].flat : L"";
        EXPECT_EQ(target, steps[i].target);
        EXPECT_EQ(want[i].bytes, steps[i].bytes);
        // The previous page is gone before the next is written.
        EXPECT_EQ(target.empty() ? 0u : 1u, steps[i].filesOnDisk);
    }
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, steps.back().hr);
    EXPECT_EQ(0u, steps.back().filesOnDisk) << "the last page goes with the end";
}

TEST_F(FakeCrawler, GetCurrentResetAndDestruction)
{
    const FakeElement root = Root({Stream(L"first.htm", "1"), Folder(L"sub", {Stream(L"second.htm", "2")})});
    FakeCrawl crawl(root, m_locator, m_temp);
    wchar_t name[2049], folder[2049], target[2049];

    ASSERT_EQ(S_OK, crawl->Advance(name, 2049, folder, 2049, target, 2049));
    ASSERT_EQ(S_OK, crawl->Advance(name, 2049, folder, 2049, target, 2049));
    wchar_t currentName[2049], currentFolder[2049], current[2049];
    ASSERT_EQ(1, crawl->GetCurrent(currentName, 2049, currentFolder, 2049, current, 2049));
    EXPECT_STREQ(L"second.htm", currentName);
    EXPECT_STREQ(L"sub", currentFolder);
    EXPECT_EQ(m_temp + L"\\second.htm", current);
    wchar_t small[4];
    ASSERT_EQ(1, crawl->GetCurrent(small, 4, nullptr, 0, nullptr, -1)) << "cut copies are not reported";
    EXPECT_STREQ(L"sec", small);
    EXPECT_EQ(1, crawl->CheckCurrent(0));

    // Reset starts over from the first entry; the current page stays until the
    // next Advance.
    EXPECT_EQ(1, crawl->Reset());
    ASSERT_EQ(S_OK, crawl->Advance(name, 2049, folder, 2049, target, 2049));
    EXPECT_STREQ(L"first.htm", name);
    EXPECT_EQ(1u, FilesBelow(m_temp).size());

    crawl.Destroy();
    EXPECT_TRUE(FilesBelow(m_temp).empty()) << "destruction deletes the current page";
}

TEST_F(FakeCrawler, FailuresEndThePageOrTheWalk)
{
    FakeElement unreadable = Stream(L"unreadable.htm", "x");
    unreadable.readResult = STG_E_READFAULT;
    FakeElement badFolder = Folder(L"broken", {Stream(L"lost.htm", "x")});
    badFolder.openResult = STG_E_ACCESSDENIED;
    const std::wstring longName = std::wstring(40, L'n') + L".htm";

    struct Case {
        const char* label;
        FakeElement root;
        size_t targetCapacity;
        size_t nameCapacity;
        std::vector<HRESULT> want;
    };
    const Case cases[] = {
        {"unreadable page between two good ones",
         Root({Stream(L"a.htm", "a"), unreadable, Stream(L"c.htm", "c")}), 2049, 2049,
         {S_OK, S_FALSE, S_OK, FILTER_E_END_OF_CHUNKS}},
        {"a sub-storage that cannot be opened ends the walk at the root",
         Root({Stream(L"a.htm", "a"), badFolder, Stream(L"c.htm", "c")}), 2049, 2049,
         {S_OK, FILTER_E_END_OF_CHUNKS}},
        {"target buffer too small for the page path: each page fails, others pass",
         Root({Stream(L"a.htm", "a"), Stream(L"b.gif", "b"), Stream(L"c.htm", "c")}), 8, 2049,
         {S_FALSE, S_OK, S_FALSE, FILTER_E_END_OF_CHUNKS}},
        {"a root name longer than the caller's buffer ends the walk",
         Root({Stream(L"a.htm", "a"), Stream(longName, "x"), Stream(L"c.htm", "c")}), 2049, 20,
         {S_OK, FILTER_E_END_OF_CHUNKS}},
        {"target capacity 0 for an entry without a filter",
         Root({Stream(L"b.gif", "b")}), 0, 2049, {E_FAIL}},
        {"an empty container", Root({}), 2049, 2049, {FILTER_E_END_OF_CHUNKS}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        {
            FakeCrawl crawl(c.root, m_locator, m_temp);
            const auto steps = CrawlAll(*crawl, m_temp, c.targetCapacity, c.nameCapacity);
            std::vector<HRESULT> got;
            for (const auto& step : steps) {
                got.push_back(step.hr);
                EXPECT_LE(step.filesOnDisk, 1u);
                if (step.hr != S_OK) {
                    EXPECT_EQ(0u, step.filesOnDisk) << "a failed page leaves nothing";
                }
            }
            EXPECT_EQ(c.want, got);
        }
        EXPECT_TRUE(FilesBelow(m_temp).empty());
    }
}

TEST_F(FakeCrawler, MirroredTreeNeverLeavesTheTemporaryFolder)
{
    // Names a crafted CHM could carry to climb out of the folder, to name
    // another drive or a device: none of them is written.
    const FakeElement root = Root({
        Stream(L"..\\escape.htm", "x"),
        Stream(L"../escape.htm", "x"),
        Stream(L"C:escape.htm", "x"),
        Stream(L"\\escape.htm", "x"),
        Stream(L"..", "x"),
        Folder(L"..", {Stream(L"escape.htm", "x"), Folder(L"..", {Stream(L"escape.htm", "x")})}),
        Folder(L".", {Stream(L"escape.htm", "x")}),
        Folder(L"", {Stream(L"escape.htm", "x")}),
        Folder(L"a\\..\\..", {Stream(L"escape.htm", "x")}),
        Folder(L"C:", {Stream(L"escape.htm", "x")}),
        Folder(L"docs", {Stream(L"..", "x"), Folder(L"deep", {Stream(L"page.htm", "deep page")})}),
        Stream(L"NUL.htm", "x"),
        Folder(L"aux", {Stream(L"page.htm", "x")}),
        Stream(L"top.htm", "top page"),
    });
    const std::wstring temp = m_scratch.MakeFolder(L"outer\\tmp");
    const auto before = FilesBelow(m_scratch.Path());

    FakeCrawl crawl(root, m_locator, temp, 1);
    const auto steps = CrawlAll(*crawl, m_scratch.Path());
    crawl.Destroy();

    std::vector<std::wstring> targets;
    for (const auto& step : steps) {
        EXPECT_LE(step.filesOnDisk, before.size() + 1);
        if (!step.target.empty())
            targets.push_back(step.target);
    }
    const std::vector<std::wstring> want = {temp + L"\\docs\\deep\\page.htm", temp + L"\\top.htm"};
    EXPECT_EQ(want, targets);
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, steps.back().hr);
    EXPECT_EQ(before, FilesBelow(m_scratch.Path())) << "nothing written anywhere, nothing left";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"C:\\escape.htm"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_scratch / L"outer\\escape.htm").c_str()));
}

}  // namespace
