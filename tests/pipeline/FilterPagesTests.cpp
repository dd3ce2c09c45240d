#include <windows.h>
#include <propsys.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "support/FilterRun.h"
#include "support/LookupFixture.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "support/ChmBuilder.h"
#include "support/ChmChunkRewrite.h"
#include "support/ChmLayout.h"
#include "support/FaultingFilterCopy.h"
#include "support/FileBytes.h"
#include "support/ModuleLoadCount.h"
#include "support/TestStream.h"

namespace {

// The scriptable page filter registered for .htm and .html the standard way,
// in the scratch registry.
class FilterPages : public FilterTest {
protected:
    void SetUp() override
    {
        FilterTest::SetUp();
        ASSERT_TRUE(m_scriptDll) << "ScriptPageFilter.dll did not load";
        // Page filters that raised an exception are never released: not counted.
        m_liveBefore = m_scriptDll.Export<ScriptFilter::LiveObjectsFn>("ScriptFilterLiveObjects")();
        LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString,
                                           LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll"));
        LookupFixture::RegisterHandler(LookupFixture::kHandler, ScriptFilter::ClassIdString);
        LookupFixture::LinkExtensionHandler(L"htm", LookupFixture::kHandler);
        LookupFixture::LinkExtensionHandler(L"html", LookupFixture::kHandler);
    }

    LONG PagesLoaded() const { return m_scriptDll.Export<ScriptFilter::LoadsFn>("ScriptFilterLoads")(); }
    LONG LivePageFilters() const
    {
        return m_scriptDll.Export<ScriptFilter::LiveObjectsFn>("ScriptFilterLiveObjects")() - m_liveBefore;
    }

    static std::string Page(const std::string& script) { return "<html><!--script\n" + script + "\n--></html>"; }

    // Five pages, the second scripted: .htm pages go to the scriptable filter,
    // .txt pages to another.
    std::wstring FaultsChm(int n, const std::string& script) const
    {
        return ChmBuilder(m_scratch, L"project" + std::to_wstring(n))
            .File("a.htm", Page("text alpha"))
            .File("b.htm", Page(script))
            .File("c.txt", "gamma")
            .File("d.htm", Page("text delta"))
            .File("e.txt", "epsilon")
            .Build("Faults");
    }

    // Chunk numbers run 1, 2, 3 ... with the source number the same; GetText
    // answers only on text chunks and GetValue only on value chunks.
    static void ExpectWellFormed(const SeenDocument& doc)
    {
        for (size_t i = 0; i < doc.chunks.size(); ++i) {
            const SeenChunk& chunk = doc.chunks[i];
            SCOPED_TRACE("chunk " + std::to_string(i + 1));
            EXPECT_EQ(i + 1, chunk.stat.idChunk);
            EXPECT_EQ(i + 1, chunk.stat.idChunkSource);
            if (chunk.stat.flags == CHUNK_TEXT) {
                EXPECT_TRUE(chunk.values.empty());
                EXPECT_EQ(FILTER_E_NO_VALUES, chunk.valueEnd);
            } else {
                EXPECT_EQ(static_cast<ULONG>(CHUNK_VALUE), chunk.stat.flags);
                EXPECT_TRUE(chunk.text.empty());
                EXPECT_EQ(FILTER_E_NO_TEXT, chunk.textEnd);
            }
        }
    }

    // The chunks after the title, as "t:text" and "v:value", with a text
    // chunk's closing code added when it is not the usual one.
    static std::vector<std::string> Describe(const SeenDocument& doc)
    {
        std::vector<std::string> out;
        for (size_t i = 1; i < doc.chunks.size(); ++i) {
            const SeenChunk& chunk = doc.chunks[i];
            if (chunk.stat.flags == CHUNK_TEXT) {
                std::string line = "t:" + Utf8(chunk.text);
                if (chunk.textEnd != FILTER_E_NO_MORE_TEXT) {
                    char code[16];
                    snprintf(code, sizeof(code), " %08lX", static_cast<unsigned long>(chunk.textEnd));
                    line += code;
                }
                out.push_back(line);
            } else {
                for (const auto& value : chunk.values)
                    out.push_back("v:" + Utf8(value));
                if (chunk.values.empty() && chunk.valueEnd == FILTER_E_NO_MORE_VALUES)
                    out.push_back("v-none");
                if (chunk.valueEnd != FILTER_E_NO_MORE_VALUES)
                    out.push_back("v-end:" + std::to_string(chunk.valueEnd));
            }
        }
        return out;
    }

    LONG m_liveBefore = 0;
    LoadedModule m_scriptDll{LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll")};
};

using Lines = std::vector<std::string>;

TEST_F(FilterPages, EveryPageThroughItsFilterUnderOneNumbering)
{
    const std::wstring chm = ChmBuilder(m_scratch)
                                 .File("a.htm", Page("text alpha one\nvalue NoIndex\nvalue NONE\n"
                                                     "value noindex,nofollow\ntext-error 80030005 hidden"))
                                 .File("b.htm", Page("init-error 80004005\ntext never"))
                                 .File("c.htm", Page("chunk-error 80004005\ntext never"))
                                 .File("d.html", Page("text delta"))
                                 .File("notes.txt", "no filter for this one")
                                 .File("style.css", Page("text never"))
                                 .File("sub/e.htm", Page("value last"))
                                 .Build("Pages");
    const LONG loadedBefore = PagesLoaded();
    auto filter = Start(chm);
    const SeenDocument doc = Pull(filter.get());
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
    ExpectWellFormed(doc);
    ASSERT_FALSE(doc.chunks.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"Pages"}, doc.chunks[0].values);
    EXPECT_EQ((Lines{"t:alpha one", "v:", "v:", "v:noindex,nofollow", "t: 80030005", "t:delta", "v:last"}),
              Describe(doc));
    EXPECT_EQ(5, PagesLoaded() - loadedBefore) << "a, b, c, d.html and sub/e";

    STAT_CHUNK chunk{};
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
    EXPECT_EQ(0, LivePageFilters());
    ASSERT_EQ(1u, TempEntries().size());
    EXPECT_TRUE(EntryNamesIn(m_temp + L"\\" + TempEntries()[0]).empty()) << "the last page file is gone";
    filter.reset();
    EXPECT_TRUE(TempEntries().empty());
    EXPECT_EQ(S_OK, canUnloadNow());
}

// The host's attributes reach every page filter intact, after the host has
// let go of its own array.
TEST_F(FilterPages, HostAttributesOutliveTheHostsArray)
{
    const std::wstring chm =
        ChmBuilder(m_scratch).File("a.htm", Page("text a")).File("b.htm", Page("text b")).Build("Attributes");
    auto name = std::make_unique<wchar_t[]>(16);
    wcscpy(name.get(), L"robots");
    auto attributes = std::make_unique<FULLPROPSPEC[]>(2);
    attributes[0].guidPropSet = GUID{0xD1B5D3F0, 0xC0B3, 0x11CF, {0x9A, 0x92, 0x00, 0xA0, 0xC9, 0x08, 0xDB, 0xF1}};
    attributes[0].psProperty.ulKind = PRSPEC_LPWSTR;
    attributes[0].psProperty.lpwstr = name.get();
    attributes[1].guidPropSet = attributes[0].guidPropSet;
    attributes[1].psProperty.ulKind = PRSPEC_PROPID;
    attributes[1].psProperty.propid = 0x13;
    auto filter = Start(chm, S_OK, 2, attributes.get());
    wcscpy(name.get(), L"XXXXXX");
    name.reset();
    attributes.reset();

    EXPECT_EQ((Lines{"t:a", "t:b"}), Describe(Pull(filter.get())));
    ULONG flags = 0, count = 0;
    wchar_t first[32] = {};
    m_scriptDll.Export<ScriptFilter::LastInitFn>("ScriptFilterLastInit")(&flags, &count, first, 32);
    EXPECT_EQ(kInitFlags, flags);
    EXPECT_EQ(2u, count);
    EXPECT_STREQ(L"robots", first);
}

// A fault inside a page filter's DLL, wherever our code calls into it (its
// class object, the constructor its factory runs, QueryInterface, Load, Init,
// GetChunk, GetText, GetValue, Release; on the lookup's probe or on the load
// of a page): the host's call answers as its contract says, that page ends, the
// DLL is not called again in the process (its pages are skipped as if no
// filter were registered, by this object and by any other), and the pages of
// other filters still come. The run reaches its end, so its attempt is
// forgotten, and nothing stays on disk.
TEST_F(FilterPages, FaultInsideAPageFilterDll)
{
    // .txt pages go to the reference filter, another DLL.
    const std::wstring textFilter = L"{02C11C08-399A-4FBF-80CB-64DCF173A986}";
    LookupFixture::RegisterFilterClass(textFilter, LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll"));
    LookupFixture::RegisterHandler(LookupFixture::kOtherHandler, textFilter);
    LookupFixture::LinkExtensionHandler(L"txt", LookupFixture::kOtherHandler);
    WriteDebugSetting(L"BlackList", L"1");

    struct Row {
        const char* name;
        const char* script;  // of the second .htm page
        const char* call;    // a planned fault: the nth call of this kind in the run
        LONG nth;
        Lines want;          // after the title
        int kept;            // references on the DLL kept after the object is gone
    };
    const Lines othersOnly = {"t:gamma", "t:epsilon"};
    const Lines firstPageToo = {"t:alpha", "t:gamma", "t:epsilon"};
    const Row rows[] = {
        {"Init raises", "throw init\ntext never", nullptr, 0, firstPageToo, 1},
        {"GetChunk raises", "throw chunk\ntext never", nullptr, 0, firstPageToo, 1},
        {"GetText raises", "throw text\ntext lost", nullptr, 0, {"t:alpha", "t: 80041705", "t:gamma", "t:epsilon"}, 1},
        // A value chunk that ends without a value: FILTER_E_NO_MORE_VALUES.
        {"GetValue raises", "throw value\nvalue lost", nullptr, 0, {"t:alpha", "v-none", "t:gamma", "t:epsilon"}, 1},
        // The value is read, to blank robots words, inside the guard too.
        {"GetValue answers a value it does not own", "wild-value\nvalue lost", nullptr, 0,
         {"t:alpha", "v-none", "t:gamma", "t:epsilon"}, 1},
        {"class object, probing", "text beta", "classobject", 1, othersOnly, 0},
        {"constructor, probing", "text beta", "constructor", 1, othersOnly, 0},
        {"QueryInterface, probing", "text beta", "queryinterface", 2, othersOnly, 0},
        {"Release, probing", "text beta", "release", 2, othersOnly, 0},
        {"class object, loading", "text beta", "classobject", 2, othersOnly, 0},
        {"constructor, loading", "text beta", "constructor", 2, othersOnly, 0},
        {"Load of the first page", "text beta", "load", 1, othersOnly, 1},
        {"Load of the second page", "text beta", "load", 2, firstPageToo, 1},
        {"QueryInterface, loading the second page", "text beta", "queryinterface", 8, firstPageToo, 1},
        {"Release of the first page", "text beta", "release", 6, firstPageToo, 1},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FaultingFilterCopy dll(++n);
        ASSERT_TRUE(dll);
        LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString, dll.Path());
        const std::wstring chm = FaultsChm(n, row.script);
        const int loadCount = ModuleLoadCount(dll.Module());
        dll.PlanFault(row.call, row.nth);
        auto filter = Start(chm);
        const SeenDocument doc = Pull(filter.get());
        dll.PlanFault(nullptr, 0);
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        EXPECT_EQ(row.want, Describe(doc));

        // The same object again, and another one: the DLL that faulted is never called.
        const LONG callsAfter = dll.Calls();
        ULONG flags = 0;
        ASSERT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
        EXPECT_EQ(othersOnly, Describe(Pull(filter.get())));
        EXPECT_EQ(callsAfter, dll.Calls()) << "a call into the DLL after its fault";
        filter.reset();
        EXPECT_EQ(othersOnly, Describe(Pull(Start(chm).get())));
        EXPECT_EQ(callsAfter, dll.Calls()) << "a call into the DLL after its fault, by another filter object";
        // A reference held when the DLL faulted is never given back: its
        // abandoned objects may still need it. The record of faults holds one
        // of its own besides, whoever else lets go.
        EXPECT_EQ(loadCount + 1 + row.kept, ModuleLoadCount(dll.Module()));
        EXPECT_EQ(L"", Marks(chm)) << "the runs reached their end";
        EXPECT_TRUE(TempEntries().empty());
    }
}

// The same on a run over a stream, where each page reaches its filter through
// IInitializeWithStream: a fault there, or in a later call, ends that page;
// the DLL is never called again and the pages of other filters still come.
TEST_F(FilterPages, FaultInsideAPageFilterDllOnAStreamRun)
{
    const std::wstring textFilter = L"{02C11C08-399A-4FBF-80CB-64DCF173A986}";
    LookupFixture::RegisterFilterClass(textFilter, LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll"));
    LookupFixture::RegisterHandler(LookupFixture::kOtherHandler, textFilter);
    LookupFixture::LinkExtensionHandler(L"txt", LookupFixture::kOtherHandler);
    struct Row {
        const char* name;
        const char* script;  // of the second .htm page
        const char* call;    // a planned fault: the nth call of this kind in the run
        LONG nth;
        Lines want;
    };
    const Lines othersOnly = {"t:gamma", "t:epsilon"};
    const Row rows[] = {
        {"Initialize of the second page", "text beta", "initialize", 2, {"t:alpha", "t:gamma", "t:epsilon"}},
        {"Initialize of the first page", "text beta", "initialize", 1, othersOnly},
        {"GetChunk raises", "throw chunk\ntext never", nullptr, 0, {"t:alpha", "t:gamma", "t:epsilon"}},
    };
    int n = 200;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FaultingFilterCopy dll(++n);
        ASSERT_TRUE(dll);
        LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString, dll.Path());
        const std::wstring chm = FaultsChm(n, row.script);
        auto run = [this, &chm]() {
            auto filter = NewFilter();
            ComPtr<IInitializeWithStream> initialize;
            EXPECT_EQ(S_OK, filter.query(initialize));
            EXPECT_EQ(S_OK, initialize->Initialize(ComPtr<IStream>(TestStream::Create(FileBytes(chm))).get(), STGM_READ));
            ULONG flags = 0;
            EXPECT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
            const SeenDocument doc = Pull(filter.get());
            EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
            ExpectWellFormed(doc);
            return Describe(doc);
        };
        dll.PlanFault(row.call, row.nth);
        EXPECT_EQ(row.want, run());
        dll.PlanFault(nullptr, 0);
        const LONG callsAfter = dll.Calls();
        EXPECT_EQ(othersOnly, run());
        EXPECT_EQ(callsAfter, dll.Calls()) << "a call into the DLL after its fault";
        EXPECT_TRUE(TempEntries().empty());
    }
}

// The record of faults outlives the filter's own module: a host that frees
// the filter DLL after a fault and loads it again still finds that DLL passed
// over.
TEST_F(FilterPages, FaultOutlivesTheFilterModule)
{
    const FaultingFilterCopy dll(100);
    ASSERT_TRUE(dll);
    LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString, dll.Path());
    const std::wstring chm =
        ChmBuilder(m_scratch).File("a.htm", Page("text alpha")).File("b.htm", Page("text beta")).Build("Faults");
    dll.PlanFault("load", 1);
    EXPECT_EQ(Lines{}, Describe(Pull(Start(chm).get())));
    dll.PlanFault(nullptr, 0);
    const LONG callsAfter = dll.Calls();

    // The host's reference goes and comes back: the module stays the same, with
    // its record, because it keeps a reference on itself.
    const std::wstring filterPath = LoadedModule::BesideTestProgram(L"Tavrinolex.dll");
    const HMODULE filterModule = m_dll.get();
    FreeLibrary(filterModule);
    EXPECT_EQ(filterModule, GetModuleHandleW(filterPath.c_str())) << "the filter DLL was unloaded";
    EXPECT_EQ(filterModule, LoadLibraryW(filterPath.c_str()));
    EXPECT_EQ(Lines{}, Describe(Pull(Start(chm).get())));
    EXPECT_EQ(callsAfter, dll.Calls());
}

// A host that asks for values on a text chunk gets none from us: the page
// filter is not asked, so one that raises in GetValue keeps its text.
TEST_F(FilterPages, GetValueOnATextChunkNeverReachesThePageFilter)
{
    const std::wstring chm =
        ChmBuilder(m_scratch).File("a.htm", Page("throw value\ntext one\ntext two")).Build("Kinds");
    EXPECT_EQ((Lines{"t:one", "t:two"}), Describe(Pull(Start(chm).get())));
}

// The number of .htm and .html pages of a real help file that the crawler
// hands on: those extract_chmLib writes, outside folders and names that begin
// with '#' or '$'.
size_t CountPages(const std::wstring& folder, bool top)
{
    size_t count = 0;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        const std::wstring name = entry.cFileName;
        if (top && (name[0] == L'#' || name[0] == L'$'))
            continue;
        if (IsFolder(entry)) {
            count += CountPages(folder + L"\\" + name, false);
            continue;
        }
        const size_t dot = name.rfind(L'.');
        std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
        for (auto& c : extension)
            c = static_cast<wchar_t>(towlower(c));
        if (extension == L".htm" || extension == L".html")
            ++count;
    }
    return count;
}

TEST_F(FilterPages, RealHelpFilesEndToEnd)
{
    const std::wstring real = FromUtf8(TAVRINOLEX_SHARED_CHM) + L"\\real";
    const std::wstring extracted = FromUtf8(TAVRINOLEX_CHM_EXTRACT);
    if (GetFileAttributesW(real.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no real CHM files in " << TAVRINOLEX_SHARED_CHM;
    size_t files = 0, allPages = 0;
    for (const auto& name : EntryNamesIn(real)) {
        SCOPED_TRACE(Utf8(name));
        ++files;
        const size_t pages = CountPages(extracted + L"\\" + name, true);
        allPages += pages;
        const LONG loadedBefore = PagesLoaded();
        auto filter = Start(real + L"\\" + name);
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        ASSERT_FALSE(doc.chunks.empty());
        EXPECT_EQ(static_cast<ULONG>(CHUNK_VALUE), doc.chunks[0].stat.flags);
        EXPECT_EQ(1u, doc.chunks[0].values.size()) << "the title";
        EXPECT_EQ(static_cast<LONG>(pages), PagesLoaded() - loadedBefore);
        // Each page without a script gives one text and one value chunk.
        EXPECT_EQ(1 + 2 * pages, doc.chunks.size());
        filter.reset();
        EXPECT_TRUE(TempEntries().empty());
        EXPECT_EQ(0, LivePageFilters());
    }
    EXPECT_EQ(18u, files);
    EXPECT_GT(allPages, 1000u) << "the extract_chmLib listings were not found";
    printf("%u pages of %u files through the page filter\n", static_cast<unsigned>(allPages),
           static_cast<unsigned>(files));
}

// The texts of a document's text chunks, in order.
std::vector<std::string> Texts(const SeenDocument& doc)
{
    std::vector<std::string> texts;
    for (const auto& chunk : doc.chunks) {
        if (chunk.stat.flags == CHUNK_TEXT)
            texts.push_back(Utf8(chunk.text));
    }
    return texts;
}

// Every page the directory lists, and the title, whatever its header names as
// the first listing chunk: as chmcmd writes it (one listing chunk, where the
// header is right, or many, where it names the second as the first), a header
// naming a later chunk, and one naming an index chunk put first. Pages the
// storage component's own listing misses are found by their names; none comes
// twice.
TEST_F(FilterPages, EveryPageWhateverTheDirectoryHeaderSays)
{
    struct Row {
        const char* label;
        int pages;
        void (*rewrite)(std::string& bytes);
    };
    const Row rows[] = {
        {"one page, as chmcmd writes it", 1, nullptr},
        {"1,000 pages in nested folders, as chmcmd writes it", 1000, nullptr},
        {"240 pages, the header naming chunk 2 of 4", 240, [](std::string& b) { NameFirstListingChunk(b, 2); }},
        {"240 pages, an index chunk first and named first", 240,
         [](std::string& b) {
             PutIndexChunksFirst(b);
             NameFirstListingChunk(b, 0);
         }},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ChmBuilder builder(m_scratch, L"headers" + std::to_wstring(++n));
        std::vector<std::string> want;
        for (int i = 0; i < row.pages; ++i) {
            char name[96];
            std::snprintf(name, sizeof(name), "book/part%d/chapter%d/a-page-with-a-rather-long-name-%04d.htm", i / 100,
                          i / 10 % 10, i);
            want.push_back("page " + std::to_string(i));
            builder.File(name, Page("text " + want.back()));
        }
        std::wstring chm = builder.Build("Headers Help");
        std::string bytes = FileBytes(chm);
        const ChmLayout layout(bytes);
        if (row.pages > 1) {
            ASSERT_GE(layout.listingChunks.size(), 4u);
            ASSERT_NE(layout.TrueFirstListing(), layout.firstListing) << "chmcmd names the second chunk";
        }
        if (row.rewrite) {
            row.rewrite(bytes);
            chm = m_scratch.WriteFile(L"rewritten" + std::to_wstring(n) + L".chm", bytes);
        }
        const LONG loadedBefore = PagesLoaded();
        const SeenDocument doc = Pull(Start(chm).get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        ASSERT_FALSE(doc.chunks.empty());
        EXPECT_EQ(std::vector<std::wstring>{L"Headers Help"}, doc.chunks[0].values);
        EXPECT_EQ(row.pages, PagesLoaded() - loadedBefore);
        std::vector<std::string> texts = Texts(doc);
        std::sort(texts.begin(), texts.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(want, texts);
        EXPECT_TRUE(TempEntries().empty());
    }
}

// The storage component finds a stream by its name without regard to case:
// a file that lists "A.htm" on sound frames and "a.htm" on a frame it would
// decode out of its memory has both refused, and the host goes on with the
// other pages.
TEST_F(FilterPages, NamesAlikeButForCaseArePassedOverTogether)
{
    std::string words;
    for (int i = 0; i < 15000; ++i)
        words += "word" + std::to_string(i * 7919 % 100003) + " ";
    std::wstring chm = ChmBuilder(m_scratch)
                           .File("c.htm", Page("text sound page"))
                           .File("A.htm", Page("text big " + words))
                           .File("b.htm", Page("text other " + words))
                           .Build("Case Help");
    std::string bytes = FileBytes(chm);
    const ChmLayout layout(bytes);
    const auto& b = layout.Entry("/b.htm");
    bytes[b.namePos + 1] = 'a';
    // The last frame, which only the former b.htm reaches, becomes a frame of no bytes.
    const size_t table = layout.StreamAt(ChmLayout::kResetTable);
    const DWORD entries = GetDword(bytes, table + ChmResetTable::kEntryCount);
    const ULONGLONG uncompressed = GetQword(bytes, table + ChmResetTable::kUncompressedLength);
    const DWORD frames = static_cast<DWORD>((uncompressed + 0x7FFF) / 0x8000);
    ASSERT_EQ(frames + 1, entries);
    ASSERT_LT(layout.Entry("/A.htm").offset.value + layout.Entry("/A.htm").length.value,
              static_cast<ULONGLONG>(frames - 1) * 0x8000);
    const size_t last =
        table + GetDword(bytes, table + ChmResetTable::kTableOffset) + 8 * static_cast<size_t>(frames - 1);
    PutQword(bytes, last, GetQword(bytes, last + 8));
    chm = m_scratch.WriteFile(L"case.chm", bytes);

    const SeenDocument doc = Pull(Start(chm).get());
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
    ExpectWellFormed(doc);
    EXPECT_EQ(std::vector<std::string>{"sound page"}, Texts(doc));
    EXPECT_TRUE(TempEntries().empty());
}

// What the check once refused whole and the component reads well comes
// through whole; a compressed section the component would decode badly leaves
// its pages unread, and the title and the pages of the uncompressed section
// come through.
TEST_F(FilterPages, RefusedOnlyWhatMustBe)
{
    struct Row {
        const char* label;
        void (*patch)(std::string& bytes, const ChmLayout& layout);
        std::vector<std::string> want;  // the text chunks
    };
    const Row rows[] = {
        {"more reset table entries than frames",
         [](std::string& b, const ChmLayout& l) {
             const size_t table = l.StreamAt(ChmLayout::kResetTable);
             PutDword(b, table + ChmResetTable::kEntryCount, GetDword(b, table + ChmResetTable::kEntryCount) + 10);
         },
         {"readme", "alpha", "beta"}},
        {"a reset interval of a quarter window",
         [](std::string& b, const ChmLayout& l) {
             const size_t control = l.StreamAt(ChmLayout::kControlData);
             PutDword(b, control + ChmControlData::kWindowSize, 4);
             PutDword(b, control + ChmControlData::kResetInterval, 1);
         },
         {"readme"}},
        {"reset table entries of 4 bytes",
         [](std::string& b, const ChmLayout& l) {
             PutDword(b, l.StreamAt(ChmLayout::kResetTable) + ChmResetTable::kEntrySize, 4);
         },
         {"readme"}},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::wstring sound = ChmBuilder(m_scratch, L"relaxed" + std::to_wstring(++n))
                                       .File("a.htm", Page("text alpha"))
                                       .File("b.htm", Page("text beta"))
                                       .Build("Relaxed Help");
        std::string bytes = FileBytes(sound);
        const ChmLayout layout(bytes);
        // chmcmd stores its own note uncompressed: made a page of the same
        // name length, it is a page of the uncompressed section.
        const auto& note = layout.Entry("/_#_README_#_");
        ASSERT_EQ(0u, note.section.value);
        bytes.replace(note.namePos, 13, "/readme01.htm");
        std::string readme = Page("text readme");
        ASSERT_LE(readme.size(), note.length.value);
        readme.resize(static_cast<size_t>(note.length.value), ' ');
        bytes.replace(layout.StreamAt("/_#_README_#_"), readme.size(), readme);
        row.patch(bytes, layout);
        const std::wstring chm = m_scratch.WriteFile(L"relaxed" + std::to_wstring(n) + L".chm", bytes);
        const SeenDocument doc = Pull(Start(chm).get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        ASSERT_FALSE(doc.chunks.empty());
        EXPECT_EQ(std::vector<std::wstring>{L"Relaxed Help"}, doc.chunks[0].values);
        EXPECT_EQ(row.want, Texts(doc));
        EXPECT_TRUE(TempEntries().empty());
    }
}

TEST_F(FilterPages, MalformedHelpFilesEndCleanly)
{
    const std::wstring malformed = FromUtf8(TAVRINOLEX_SHARED_CHM) + L"\\malformed";
    if (GetFileAttributesW(malformed.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no malformed CHM files in " << TAVRINOLEX_SHARED_CHM;
    for (const auto& name : EntryNamesIn(malformed)) {
        SCOPED_TRACE(Utf8(name));
        auto filter = Start(malformed + L"\\" + name);
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        filter.reset();
        EXPECT_TRUE(TempEntries().empty());
        EXPECT_EQ(0, LivePageFilters());
    }
}

// A file that the structure check refuses never reaches the storage component,
// and the host sees what it sees when the component refuses a file: the title
// chunk with the file's own name, no page, the end of the document, a run that
// completed (the attempt record keeps no mark) and nothing left on disk.
TEST_F(FilterPages, RefusedFileEndsAfterTheTitleLikeAFileTheComponentRefuses)
{
    const std::wstring sound = ChmBuilder(m_scratch).File("a.htm", Page("text alpha")).Build("Damaged Help");
    std::string bytes = FileBytes(sound);
    // A page in a third section: the component reads it from the compressed one.
    const ChmLayout layout(bytes);
    PutEncInt(bytes, layout.Entry("/a.htm").section, 2);
    const std::wstring chm = m_scratch.WriteFile(L"damaged.chm", bytes);
    WriteDebugSetting(L"BlackList", L"1");

    const LONG loadedBefore = PagesLoaded();
    for (int run = 1; run <= 6; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        auto filter = Start(chm);
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ExpectWellFormed(doc);
        ASSERT_EQ(1u, doc.chunks.size());
        EXPECT_EQ(std::vector<std::wstring>{L"damaged"}, doc.chunks[0].values);
        filter.reset();
        EXPECT_EQ(L"", Marks(chm));
        EXPECT_TRUE(TempEntries().empty());
    }
    EXPECT_EQ(0, PagesLoaded() - loadedBefore);
}

}  // namespace
