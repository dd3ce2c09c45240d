// The stand-in storage component over CHMs whose directory header names the
// wrong first listing chunk. Wine lists such a directory from that chunk on;
// the stand-in still finds every stream by its path, as Windows' component
// finds it through the directory's index, while its enumerations show only
// what Wine lists.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/ChmBuilder.h"
#include "support/ChmChunkRewrite.h"
#include "support/ChmLayout.h"
#include "support/FileBytes.h"
#include "support/LoadedModule.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "support/StorageCalls.h"
#include "support/WineItssOverride.h"
#include "util/owners/CoTaskMemBlock.h"
#include "util/owners/ComPtr.h"

namespace {
constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;

// What the test compiles, by path. With names this long, 240 pages fill four
// listing chunks. chmcmd writes an entry for each folder that holds files
// ("aa/x/") but none for "aa", and "aa" lies wholly in chunk 0.
std::map<std::string, std::string> Pages()
{
    std::map<std::string, std::string> pages = {
        {"index.htm", "<html>index</html>"},
        {"empty.txt", ""},
        {"aa/x/one.htm", "one"},
        {"aa/x/y/two.htm", "two"},
    };
    for (int i = 0; i < 240; ++i) {
        char name[80];
        std::snprintf(name, sizeof(name), "book/part%d/a-page-with-a-rather-long-name-%03d.htm", i / 40, i);
        pages[name] = "<html>page " + std::to_string(i) + "</html>";
    }
    return pages;
}

struct Heading {
    const char* name;
    void (*rewrite)(std::string& bytes);
    LONG named;     // the first listing chunk the header names
    bool listing;   // whether that chunk is a listing chunk
    bool misheaded;
};

const Heading kHeadings[] = {
    {"as chmcmd wrote it", [](std::string&) {}, 1, true, true},
    {"chunk 2 of 4 named first", [](std::string& bytes) { NameFirstListingChunk(bytes, 2); }, 2, true, true},
    {"index chunk first and named first",
     [](std::string& bytes) {
         PutIndexChunksFirst(bytes);
         NameFirstListingChunk(bytes, 0);
     },
     0, false, true},
    {"sound", [](std::string& bytes) { NameFirstListingChunk(bytes, ChmLayout(bytes).TrueFirstListing()); }, 0, true,
     false},
};

// Every stream the directory holds, keyed like a walk ("folder\\sub|name"),
// with its length.
std::map<std::wstring, ULONGLONG> DirectoryStreams(const std::string& bytes)
{
    std::map<std::wstring, ULONGLONG> streams;
    for (const auto& entry : ChmLayout(bytes).listing) {
        if (entry.name.size() < 2 || entry.name[0] != '/' || entry.name.back() == '/')
            continue;
        std::wstring key;
        for (char c : entry.name.substr(1))
            key += c == '/' ? L'\\' : static_cast<wchar_t>(c);
        const size_t slash = key.rfind(L'\\');
        if (slash != std::wstring::npos)
            key[slash] = L'|';
        else
            key.insert(0, L"|");
        streams[key] = entry.length.value;
    }
    return streams;
}

// Every stream that the storage's enumerations show, below it too, keyed like
// DirectoryStreams.
void Walk(const ComPtr<IStorage>& storage, const std::wstring& folder, std::set<std::wstring>& streams)
{
    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(S_OK, storage->EnumElements(0, nullptr, 0, elements.put()));
    STATSTG stat = {};
    ULONG fetched = 0;
    while (elements->Next(1, &stat, &fetched) == S_OK && fetched == 1) {
        CoTaskMemBlock<wchar_t> name(stat.pwcsName);
        if (stat.type == STGTY_STREAM) {
            streams.insert(folder + L"|" + name.get());
            continue;
        }
        ComPtr<IStorage> sub;
        ASSERT_EQ(S_OK, storage->OpenStorage(name.get(), nullptr, kReadExclusive, nullptr, 0, sub.put()));
        Walk(sub, folder.empty() ? std::wstring(name.get()) : folder + L"\\" + name.get(), streams);
    }
}

std::string PathOf(const std::wstring& key)
{
    std::string path = Narrow(key);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::replace(path.begin(), path.end(), '|', '/');
    return path[0] == '/' ? path.substr(1) : path;
}

class StandInByPath : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_scratch = std::make_unique<ScratchFolder>();
        ChmBuilder builder(*s_scratch);
        for (const auto& [path, text] : Pages())
            builder.File(path, text);
        s_compiled = FileBytes(builder.Build());
    }
    static void TearDownTestSuite() { s_scratch.reset(); }

    // The compiled file with the heading's header, on disk.
    std::wstring Write(const Heading& heading)
    {
        std::string bytes = s_compiled;
        heading.rewrite(bytes);
        return scratch.WriteFile(Widened(heading.name) + L".chm", bytes);
    }
    static std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    static std::unique_ptr<ScratchFolder> s_scratch;
    static std::string s_compiled;
    ComApartment com;
    ScratchFolder scratch;
};
std::unique_ptr<ScratchFolder> StandInByPath::s_scratch;
std::string StandInByPath::s_compiled;

TEST_F(StandInByPath, FixturesNameTheFirstChunkTheirHeadingSays)
{
    const ChmLayout compiled(s_compiled);
    ASSERT_EQ((std::vector<DWORD>{0, 1, 2, 3}), compiled.listingChunks) << "pages no longer fill four listing chunks";
    EXPECT_EQ(std::vector<DWORD>{4}, compiled.indexChunks);
    for (const auto& heading : kHeadings) {
        SCOPED_TRACE(heading.name);
        std::string bytes = s_compiled;
        heading.rewrite(bytes);
        const ChmLayout layout(bytes);
        EXPECT_EQ(heading.named, layout.firstListing);
        EXPECT_EQ(heading.listing, layout.links.count(static_cast<DWORD>(layout.firstListing)) == 1);
        EXPECT_EQ(heading.misheaded, layout.firstListing != layout.TrueFirstListing());
        // The chunks still chain from the true first one through every listing chunk.
        LONG chunk = layout.TrueFirstListing();
        for (size_t seen = 0; seen < layout.listingChunks.size(); ++seen) {
            ASSERT_EQ(1u, layout.links.count(static_cast<DWORD>(chunk)));
            chunk = layout.links.at(static_cast<DWORD>(chunk)).next;
        }
        EXPECT_EQ(-1, chunk);
    }
}

TEST_F(StandInByPath, EveryStreamOpensByItsPath)
{
    const auto pages = Pages();
    for (const auto& heading : kHeadings) {
        SCOPED_TRACE(heading.name);
        const std::wstring chm = Write(heading);
        const ComPtr<IStorage> root = OpenChmRoot(chm);
        ASSERT_TRUE(root);
        std::map<std::wstring, ComPtr<IStorage>> folders;
        std::vector<std::string> unreachable;
        for (const auto& [key, length] : DirectoryStreams(s_compiled)) {
            const size_t bar = key.find(L'|');
            const std::wstring folderPath = key.substr(0, bar);
            auto& folder = folders[folderPath];
            if (!folder)
                folder = OpenFolder(root, folderPath);
            ComPtr<IStream> stream;
            if (!folder || FAILED(stream.receive([&](IStream** out) {
                    return folder->OpenStream(key.substr(bar + 1).c_str(), nullptr, kReadExclusive, 0, out);
                }))) {
                unreachable.push_back(PathOf(key));
                continue;
            }
            STATSTG stat = {};
            ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
            EXPECT_EQ(length, stat.cbSize.QuadPart) << PathOf(key);
            const std::string bytes = ReadStream(stream.get());
            const auto page = pages.find(PathOf(key));
            if (page != pages.end())
                EXPECT_EQ(page->second, bytes) << PathOf(key);
            else
                EXPECT_EQ(length, bytes.size()) << PathOf(key);
        }
        EXPECT_EQ(std::vector<std::string>{}, unreachable);
    }
}

TEST_F(StandInByPath, EnumerationShowsWhatWineLists)
{
    std::set<std::wstring> directory;
    for (const auto& stream : DirectoryStreams(s_compiled))
        directory.insert(stream.first);
    for (const auto& heading : kHeadings) {
        SCOPED_TRACE(heading.name);
        const std::wstring chm = Write(heading);
        // Wine's own root names deeper elements by their whole path.
        std::vector<std::wstring> wineRoot;
        {
            WineItssOverride wine;
            ASSERT_TRUE(wine.Ready());
            const ComPtr<IStorage> root = OpenChmRoot(chm);
            ASSERT_TRUE(root);
            for (const auto& name : ElementNames(root.get())) {
                const std::wstring first = name.substr(0, name.find(L'/'));
                if (std::find(wineRoot.begin(), wineRoot.end(), first) == wineRoot.end())
                    wineRoot.push_back(first);
            }
        }
        const ComPtr<IStorage> root = OpenChmRoot(chm);
        ASSERT_TRUE(root);
        EXPECT_EQ(wineRoot, ElementNames(root.get()));

        std::set<std::wstring> walked;
        Walk(root, L"", walked);
        EXPECT_TRUE(std::includes(directory.begin(), directory.end(), walked.begin(), walked.end()));
        EXPECT_EQ(heading.misheaded, walked != directory) << walked.size() << " of " << directory.size() << " listed";
    }
}

// Looked up in folders that chmcmd's own header hides from Wine's listing.
TEST_F(StandInByPath, NamesInFoldersTheListingMissed)
{
    const std::wstring chm = Write(kHeadings[0]);
    {
        const ComPtr<IStorage> root = OpenChmRoot(chm);
        ASSERT_TRUE(root);
        const auto listed = ElementNames(root.get());
        ASSERT_EQ(listed.end(), std::find(listed.begin(), listed.end(), L"aa"));
    }
    enum Kind { Storage, Stream };
    struct NameCase {
        const wchar_t* folder;
        const wchar_t* name;
        Kind kind;
        HRESULT hr;
        const char* bytes;  // of a stream that opens
    };
    const NameCase cases[] = {
        {L"", L"aa", Storage, S_OK, nullptr},
        {L"aa", L"x", Storage, S_OK, nullptr},
        {L"aa\\x", L"one.htm", Stream, S_OK, "one"},
        {L"aa\\x\\y", L"two.htm", Stream, S_OK, "two"},
        {L"AA\\X", L"ONE.HTM", Stream, S_OK, "one"},
        {L"", L"#SYSTEM", Stream, S_OK, nullptr},
        // Wine cannot tell a name that no entry has from a folder without an
        // entry of its own, such as "aa": both open, and list nothing.
        {L"", L"nothing", Storage, S_OK, nullptr},
        {L"", L"#SYSTEM", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x", L"one.htm", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x", L"y", Stream, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x", L"missing.htm", Stream, STG_E_FILENOTFOUND, nullptr},
        {L"", L"", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa", L".", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x", L"..", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa", L"x/y", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa", L"x\\y", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"", L"c:", Storage, STG_E_FILENOTFOUND, nullptr},
        {L"aa", L"x/one.htm", Stream, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x", L"y\\two.htm", Stream, STG_E_FILENOTFOUND, nullptr},
        {L"aa\\x\\y", L"..", Stream, STG_E_FILENOTFOUND, nullptr},
        {L"", L"aa:one.htm", Stream, STG_E_FILENOTFOUND, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.folder) + L"|" + c.name) + (c.kind == Storage ? " storage" : " stream"));
        const ComPtr<IStorage> folder = OpenFolder(OpenChmRoot(chm), c.folder);
        ASSERT_TRUE(folder);
        if (c.kind == Storage) {
            ComPtr<IStorage> storage;
            EXPECT_EQ(c.hr, storage.receive([&](IStorage** out) {
                return folder->OpenStorage(c.name, nullptr, kReadExclusive, nullptr, 0, out);
            }));
            EXPECT_EQ(c.hr == S_OK, static_cast<bool>(storage));
            if (storage) {
                // Wine's listing begins past every entry below these folders.
                EXPECT_EQ(std::vector<std::wstring>{}, ElementNames(storage.get()));
                STATSTG stat = {};
                ASSERT_EQ(S_OK, storage->Stat(&stat, STATFLAG_NONAME));
                EXPECT_EQ(static_cast<DWORD>(STGTY_STORAGE), stat.type);
            }
        } else {
            ComPtr<IStream> stream;
            EXPECT_EQ(c.hr, stream.receive([&](IStream** out) {
                return folder->OpenStream(c.name, nullptr, kReadExclusive, 0, out);
            }));
            EXPECT_EQ(c.hr == S_OK, static_cast<bool>(stream));
            if (stream && c.bytes) {
                EXPECT_EQ(std::string(c.bytes), ReadStream(stream.get()));
            }
        }
    }
}
}  // namespace
