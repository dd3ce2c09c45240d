#include <windows.h>
#include <propsys.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/FilterRun.h"
#include "support/LookupFixture.h"
#include "htmlfilter/ReferenceFilterIds.h"
#include "support/ChmBuilder.h"
#include "support/FileBytes.h"
#include "support/Narrow.h"
#include "support/TestStream.h"
#include "util/owners/UniqueHandle.h"

namespace {

std::wstring GuidString(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Every file and folder below a folder, by path, each with its size: what a
// run may have left there.
void ListTree(const std::wstring& folder, std::map<std::wstring, ULONGLONG>& out)
{
    for (const auto& entry : FolderEntries(folder)) {
        const std::wstring path = folder + L"\\" + entry.cFileName;
        out[path] = (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        if (IsFolder(entry))
            ListTree(path, out);
    }
}

// A chunk as one line: everything a host reads from it but its ids.
std::string Render(const SeenChunk& chunk)
{
    char head[96];
    const FULLPROPSPEC& a = chunk.stat.attribute;
    snprintf(head, sizeof(head), "%lu %lu %08lx %s ", static_cast<unsigned long>(chunk.stat.flags),
             static_cast<unsigned long>(chunk.stat.breakType), static_cast<unsigned long>(chunk.stat.locale),
             Narrow(GuidString(a.guidPropSet)).c_str());
    std::string line = head;
    // A property's name lives only as long as its chunk: not kept.
    line += a.psProperty.ulKind == PRSPEC_PROPID ? std::to_string(a.psProperty.propid) : "(named)";
    line += " | " + Utf8(chunk.text);
    for (const auto& value : chunk.values)
        line += " | " + Utf8(value);
    return line;
}

std::vector<std::string> Render(const SeenDocument& doc)
{
    std::vector<std::string> lines;
    for (const auto& chunk : doc.chunks)
        lines.push_back(Render(chunk));
    return lines;
}

// Help files handed over as Windows Search hands them over: a read-only
// stream through IInitializeWithStream, in a process that may write nowhere.
// Pages go to the reference page filter, or to one of its classes that takes
// its page one way only.
class FilterStream : public FilterTest {
protected:
    void SetUp() override
    {
        FilterTest::SetUp();
        const std::wstring dll = LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll");
        for (const CLSID* clsid :
             {&CLSID_ReferenceHtmlFilter, &CLSID_ReferenceHtmlPersistStreamOnly, &CLSID_ReferenceHtmlFileOnly})
            LookupFixture::RegisterFilterClass(GuidString(*clsid), dll);
        LookupFixture::LinkExtensionHandler(L"htm", LookupFixture::kHandler);
        LookupFixture::LinkExtensionHandler(L"html", LookupFixture::kHandler);
        UsePageFilter(CLSID_ReferenceHtmlFilter);
    }

    static void UsePageFilter(const CLSID& clsid) { LookupFixture::RegisterHandler(LookupFixture::kHandler, GuidString(clsid)); }

    // The temporary folder and the application-data folder where nothing can
    // be made: below a file.
    void WriteNowhere()
    {
        const std::wstring blocked = m_scratch.WriteFile(L"blocked", "a file, not a folder");
        SetEnvironmentVariableW(L"TMP", (blocked + L"\\temp").c_str());
        SetAppDataFolder(blocked + L"\\appdata");
    }

    void WriteAsUsual()
    {
        SetEnvironmentVariableW(L"TMP", m_temp.c_str());
        SetAppDataFolder(m_appData);
    }

    std::map<std::wstring, ULONGLONG> Everything() const
    {
        std::map<std::wstring, ULONGLONG> all;
        ListTree(m_scratch.Path(), all);
        return all;
    }

    // A new filter object given the stream, and Init called.
    ComPtr<IFilter> StartStream(IStream* stream, HRESULT wantInit = S_OK)
    {
        auto filter = NewFilter();
        ComPtr<IInitializeWithStream> initialize;
        EXPECT_EQ(S_OK, filter.query(initialize));
        EXPECT_EQ(S_OK, initialize->Initialize(stream, STGM_READ));
        ULONG flags = 0;
        EXPECT_EQ(wantInit, filter->Init(kInitFlags, 0, nullptr, &flags));
        EXPECT_EQ(static_cast<ULONG>(IFILTER_FLAGS_OLE_PROPERTIES), flags);
        return filter;
    }

    // The file as Windows' own file stream gives it: read-only, with its name.
    static ComPtr<IStream> FileStream(const std::wstring& path)
    {
        ComPtr<IStream> stream;
        EXPECT_EQ(S_OK, stream.receive([&path](IStream** out) {
            return SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL,
                                          FALSE, nullptr, out);
        }));
        return stream;
    }

    std::vector<std::string> ByStream(IStream* stream, HRESULT wantInit = S_OK)
    {
        auto filter = StartStream(stream, wantInit);
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        return Render(doc);
    }

    std::vector<std::string> ByPath(const std::wstring& chm) { return Render(Pull(Start(chm).get())); }

    static ComPtr<IStream> Over(const std::wstring& chm, const std::wstring& name = L"")
    {
        return ComPtr<IStream>(TestStream::Create(FileBytes(chm), name));
    }

    std::wstring SmallHelpFile(const std::string& word = "alpha")
    {
        return ChmBuilder(m_scratch, L"project-" + FromUtf8(word))
            .File("index.htm", "<html><title>Start</title><body>" + word + " start</body></html>")
            .File("a/one.htm", "<html><body>" + word + " one</body></html>")
            .File("a/b/two.html", "<html><meta name=\"keywords\" content=\"" + word + "\"><body>two</body></html>")
            .File("notes.txt", "no filter for text here")
            .File("style.css", "body {}")
            .Build("Help " + word, word + ".chm");
    }
};

// For every real help file: the title and every page as the file path gives
// them, with nothing made anywhere, through a page filter that takes streams
// either way; a page filter that takes files only gets its pages only where a
// temporary folder can be made, and leaves nothing there.
TEST_F(FilterStream, RealHelpFilesAsWindowsSearchHandsThemOver)
{
    const std::wstring real = FromUtf8(TAVRINOLEX_SHARED_CHM) + L"\\real";
    if (GetFileAttributesW(real.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no real CHM files in " << TAVRINOLEX_SHARED_CHM;
    struct Row {
        const char* label;
        const CLSID* pageFilter;
        bool writable;  // a temporary folder can be made
        bool pages;     // the pages come, else the title alone
    };
    const Row rows[] = {
        {"IInitializeWithStream", &CLSID_ReferenceHtmlFilter, false, true},
        {"IPersistStream only", &CLSID_ReferenceHtmlPersistStreamOnly, false, true},
        {"IPersistFile only, nowhere to write", &CLSID_ReferenceHtmlFileOnly, false, false},
        {"IPersistFile only, a temporary folder", &CLSID_ReferenceHtmlFileOnly, true, true},
    };
    size_t files = 0;
    for (const auto& name : EntryNamesIn(real)) {
        SCOPED_TRACE(Utf8(name));
        ++files;
        const std::wstring chm = real + L"\\" + name;
        WriteAsUsual();
        UsePageFilter(CLSID_ReferenceHtmlFilter);
        const std::vector<std::string> byPath = ByPath(chm);
        ASSERT_FALSE(byPath.empty());
        for (const Row& row : rows) {
            SCOPED_TRACE(row.label);
            UsePageFilter(*row.pageFilter);
            if (row.writable)
                WriteAsUsual();
            else
                WriteNowhere();
            const auto before = Everything();
            const std::vector<std::string> byStream = ByStream(FileStream(chm).get());
            if (row.pages) {
                EXPECT_EQ(byPath.size(), byStream.size());
                for (size_t i = 0; i < byPath.size() && i < byStream.size(); ++i) {
                    if (byPath[i] != byStream[i]) {
                        ADD_FAILURE() << "chunk " << i + 1 << " differs:\n" << byPath[i].substr(0, 300) << "\n"
                                      << byStream[i].substr(0, 300);
                        break;
                    }
                }
            } else {
                EXPECT_EQ(std::vector<std::string>{byPath[0]}, byStream);
            }
            EXPECT_EQ(before, Everything()) << "something was written";
        }
    }
    EXPECT_EQ(18u, files);
    EXPECT_EQ(S_OK, canUnloadNow());
}

// The object's stream interfaces, and how a later Load of either kind replaces
// the document for the next Init.
TEST_F(FilterStream, StreamInterfacesAndTheDocumentOfTheNextInit)
{
    auto filter = NewFilter();
    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, filter.query(identity));
    for (const IID* iid : {&IID_IPersistStream, &IID_IPersist, &__uuidof(IInitializeWithStream)}) {
        ComPtr<IUnknown> asked;
        ASSERT_EQ(S_OK, asked.receive([&](IUnknown** out) {
            return filter->QueryInterface(*iid, reinterpret_cast<void**>(out));
        })) << Narrow(GuidString(*iid));
        ComPtr<IUnknown> back;
        ASSERT_EQ(S_OK, asked.query(back));
        EXPECT_EQ(identity.get(), back.get()) << "one identity";
    }
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(S_OK, filter.query(persist));
    CLSID clsid{};
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_EQ(CLSID_TavrinolexFilter, clsid);
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    ULARGE_INTEGER size{};
    EXPECT_EQ(E_NOTIMPL, persist->GetSizeMax(&size));
    EXPECT_EQ(E_NOTIMPL, persist->Save(nullptr, TRUE));
    EXPECT_EQ(E_INVALIDARG, persist->Load(nullptr));

    // A host that asks for write access is refused, and the object stays free
    // for a proper Initialize.
    ComPtr<IInitializeWithStream> initialize;
    ASSERT_EQ(S_OK, filter.query(initialize));
    const std::wstring a = SmallHelpFile("alpha"), b = SmallHelpFile("beta"), c = SmallHelpFile("gamma");
    for (DWORD mode : {static_cast<DWORD>(STGM_WRITE), static_cast<DWORD>(STGM_READWRITE)})
        EXPECT_EQ(STG_E_ACCESSDENIED, initialize->Initialize(Over(a).get(), mode));

    auto title = [&filter]() {
        ULONG flags = 0;
        EXPECT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
        const SeenDocument doc = Pull(filter.get());
        return doc.chunks.empty() || doc.chunks[0].values.empty() ? std::wstring() : doc.chunks[0].values[0];
    };
    EXPECT_EQ(S_OK, initialize->Initialize(Over(a).get(), STGM_READ));
    EXPECT_EQ(L"Help alpha", title());
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED), initialize->Initialize(Over(b).get(), STGM_READ));
    EXPECT_EQ(L"Help alpha", title()) << "the second Initialize changed nothing";
    ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, filter.query(file));
    EXPECT_EQ(S_OK, file->Load(b.c_str(), STGM_READ));
    EXPECT_EQ(L"Help beta", title());
    EXPECT_EQ(S_OK, persist->Load(Over(c).get()));
    EXPECT_EQ(L"Help gamma", title());
    LPOLESTR current = nullptr;
    EXPECT_EQ(E_FAIL, file->GetCurFile(&current)) << "a stream names no file";
}

// A help file without a title record is titled by its stream's name, as by
// its file's; a stream that gives no name leaves the title empty.
TEST_F(FilterStream, TitleFromTheStreamsNameWhenTheFileHasNone)
{
    const std::wstring chm = SmallHelpFile();
    std::string damaged = FileBytes(chm);
    damaged[0] = 'X';  // not a help file: no title record can be read
    const std::wstring copy = m_scratch.WriteFile(L"Damaged Help.chm", damaged);
    EXPECT_EQ(std::vector<std::string>{ByPath(copy)[0]},
              ByStream(Over(copy, L"Z:\\somewhere\\Damaged Help.chm").get()));
    const std::vector<std::string> unnamed = ByStream(Over(copy).get());
    ASSERT_EQ(1u, unnamed.size());
    EXPECT_EQ(" | ", unnamed[0].substr(unnamed[0].size() - 3)) << unnamed[0];
}

// A stream that fails part-way: Init, or the page at that point, ends
// cleanly, the document ends, nothing is left and the stream is let go.
TEST_F(FilterStream, StreamThatFailsPartWay)
{
    const std::wstring chm = SmallHelpFile();
    const ULONGLONG size = FileBytes(chm).size();
    const std::vector<std::string> whole = ByStream(Over(chm, L"help.chm").get());
    ASSERT_GT(whole.size(), 3u);
    const size_t all = whole.size();

    struct Row {
        const char* label;
        ULONGLONG readFailsFrom;
        LONG seeksBeforeFailure;
        HRESULT init;
        size_t most;  // chunks at most; at least the title when Init succeeds
    };
    const Row rows[] = {
        {"every read fails", 0, -1, S_OK, 1},
        {"reads fail from the middle", size / 2, -1, S_OK, all},
        {"reads fail near the end", size - 16, -1, S_OK, all},
        {"every seek fails", ~0ull, 0, E_FAIL, 0},
        {"seeks fail after the size is known", ~0ull, 2, S_OK, 1},
        {"seeks fail after a few reads", ~0ull, 12, S_OK, all},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteNowhere();
        const auto before = Everything();
        TestStream::Faults faults;
        faults.readFailsFrom = row.readFailsFrom;
        faults.seeksBeforeFailure = row.seeksBeforeFailure;
        TestStream* stream = TestStream::Create(FileBytes(chm), L"help.chm", faults);
        {
            auto filter = StartStream(stream, row.init);
            const SeenDocument doc = Pull(filter.get());
            EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
            EXPECT_LE(doc.chunks.size(), row.most);
            if (row.init == S_OK) {
                EXPECT_GE(doc.chunks.size(), 1u);
            }
            for (size_t i = 1; i < doc.chunks.size(); ++i)
                EXPECT_NE(whole.end(), std::find(whole.begin(), whole.end(), Render(doc.chunks[i])));
        }
        EXPECT_EQ(1, stream->Refs()) << "the filter let go of the stream";
        stream->Release();
        EXPECT_EQ(before, Everything());
    }
    EXPECT_EQ(S_OK, canUnloadNow());
}

// The attempt record of a stream's run: kept under the name the stream gives,
// and only where the settings file can be written; otherwise nothing is
// written and the run has no guard.
TEST_F(FilterStream, AttemptRecordOnlyForANamedStreamAndAWritableSettingsFile)
{
    const std::wstring chm = SmallHelpFile();
    const std::wstring name = L"Z:\\shared\\help.chm";
    WriteDebugSetting(L"BlackList", L"1");
    struct Row {
        const char* label;
        const wchar_t* name;
        bool locked;  // another process holds the settings file, sharing it for reading only
        const wchar_t* marksDuringRun;
    };
    const Row rows[] = {
        {"named, writable", name.c_str(), false, L"x"},
        {"no name", L"", false, L""},
        {"named, settings file not writable", name.c_str(), true, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string settings = FileBytes(SettingsFile());
        UniqueHandle lock(row.locked ? CreateFileW(SettingsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                     : nullptr);
        const auto before = Everything();
        auto filter = StartStream(Over(chm, row.name).get());
        lock.reset();
        EXPECT_EQ(row.marksDuringRun, Marks(name));
        if (row.marksDuringRun[0] == L'\0') {
            EXPECT_EQ(settings, FileBytes(SettingsFile()));
        }
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, Pull(filter.get()).end);
        filter.reset();
        EXPECT_EQ(L"", Marks(name)) << "a run that ends forgets its marks";
        EXPECT_EQ(before.size(), Everything().size());
    }

    // A file's run left unfinished keeps its mark when the same object then
    // runs a stream that names nothing to its end.
    auto filter = Start(chm);
    EXPECT_EQ(L"x", Marks(chm));
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(S_OK, filter.query(persist));
    ASSERT_EQ(S_OK, persist->Load(Over(chm).get()));
    ULONG flags = 0;
    ASSERT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, Pull(filter.get()).end);
    persist.reset();
    filter.reset();
    EXPECT_EQ(L"x", Marks(chm));
}

// Filter objects on several threads of one process, each with its own
// stream, as a host of a filter registered "Both" runs them.
TEST_F(FilterStream, ObjectsOnSeveralThreadsEachWithItsOwnStream)
{
    const std::vector<std::wstring> files = {SmallHelpFile("alpha"), SmallHelpFile("beta"), SmallHelpFile("gamma"),
                                             SmallHelpFile("delta")};
    std::vector<std::vector<std::string>> expected;
    for (const auto& chm : files)
        expected.push_back(ByStream(Over(chm).get()));
    WriteNowhere();
    const auto before = Everything();
    std::atomic<int> same{0};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < files.size(); ++t) {
        threads.emplace_back([&, t] {
            ComApartment com(COINIT_MULTITHREADED);
            for (int run = 0; run < 5; ++run) {
                ComPtr<IFilter> filter;
                if (FAILED(CreateThroughClassObject(getClassObject, CLSID_TavrinolexFilter, filter)))
                    continue;
                ComPtr<IInitializeWithStream> initialize;
                ULONG flags = 0;
                if (FAILED(filter.query(initialize)) || FAILED(initialize->Initialize(Over(files[t]).get(), STGM_READ)) ||
                    filter->Init(kInitFlags, 0, nullptr, &flags) != S_OK)
                    continue;
                const SeenDocument doc = Pull(filter.get());
                same += Render(doc) == expected[t] ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(static_cast<int>(files.size()) * 5, same.load());
    EXPECT_EQ(before, Everything());
    EXPECT_EQ(S_OK, canUnloadNow());
}

}  // namespace
