// The reader over a storage tree made in the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "support/ChmWalk.h"
#include "FakeStorage.h"
#include "crawler/CChmStorage.h"
#include "crawler/PageFileWriter.h"
#include "support/ClassObjectOverride.h"
#include "support/FolderEntries.h"
#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"
#include "util/owners/ComPtr.h"
#include "util/owners/UniqueHandle.h"

namespace {
FakeElement Failing(FakeElement element, HRESULT open)
{
    element.openResult = open;
    return element;
}

// Opens the reader on a fake tree; the fake serves CLSID_ITStorage only while
// Open creates the component.
HRESULT OpenFake(CChmStorage& reader, const FakeElement& root, FakeCalls& calls, const wchar_t* mirror = nullptr,
                 HRESULT openResult = S_OK)
{
    ComPtr<IUnknown> factory(NewFakeComponentFactory(&root, &calls, openResult));
    ClassObjectOverride fake(CLSID_ITStorage, factory.get());
    EXPECT_EQ(S_OK, fake.Result());
    return reader.Open(CoverChmPath(root).c_str(), mirror);
}

std::vector<std::wstring> Entries(const std::wstring& folder)
{
    std::vector<std::wstring> names = EntryNamesIn(folder);
    std::sort(names.begin(), names.end());
    return names;
}

class FakeChm : public ::testing::Test {
protected:
    ComApartment com;
    FakeCalls calls;
};

struct WalkCase {
    const char* label;
    FakeElement root;
    std::vector<std::wstring> want;
    HRESULT end;
    size_t nameCapacity = 257;
};

// The walk goes depth first and passes over what it cannot use; what the
// directory lists beyond it (streams past a failure inside a sub-storage) is
// then found by its name, after the walk, in directory order.
TEST_F(FakeChm, WalksDepthFirstAndPassesOverWhatItCannotUse)
{
    const std::wstring longName(300, L'n');
    const std::wstring longFolder(2040, L'f');
    const std::wstring rootTooLong(2048, L'r');
    FakeElement other = Stream(L"lockbytes");
    other.type = STGTY_LOCKBYTES;
    FakeElement badEnum = Folder(L"noenum", {Stream(L"x")});
    badEnum.enumResult = E_UNEXPECTED;

    const WalkCase cases[] = {
        {"root holds only storages",
         Root({Folder(L"a", {Stream(L"x")}), Folder(L"b", {Folder(L"c", {Stream(L"y")})})}),
         {L"a|x", L"b\\c|y"}, S_FALSE},
        {"empty sub-storages between pages",
         Root({Stream(L"p1"), Folder(L"empty", {}), Folder(L"e1", {Folder(L"e2", {})}), Stream(L"p2")}),
         {L"|p1", L"|p2"}, S_FALSE},
        {"no stream at all", Root({Folder(L"empty", {})}), {}, S_FALSE},
        {"other element types", Root({other, Stream(L"p")}), {L"|p"}, S_FALSE},
        {"OpenStorage fails at the root",
         Root({Stream(L"p1"), Failing(Folder(L"bad", {Stream(L"x")}), STG_E_ACCESSDENIED), Stream(L"p2")}),
         {L"|p1"}, STG_E_ACCESSDENIED},
        {"OpenStorage fails inside a sub-storage",
         Root({Folder(L"a", {Stream(L"x"), Failing(Folder(L"bad", {}), STG_E_ACCESSDENIED), Stream(L"found")}),
               Stream(L"after")}),
         {L"a|x", L"|after", L"a|found"}, S_FALSE},
        {"EnumElements fails in a sub-storage", Root({badEnum, Stream(L"p")}), {L"|p", L"noenum|x"}, S_FALSE},
        {"name too long at the root", Root({Stream(L"p1"), Stream(longName), Stream(L"p2")}), {L"|p1"}, E_FAIL},
        {"name too long inside a sub-storage",
         Root({Folder(L"a", {Stream(L"x"), Stream(longName), Stream(L"found")}), Stream(L"p")}),
         {L"a|x", L"|p", L"a|found"}, S_FALSE},
        {"names at and past the caller's capacity",
         Root({Stream(std::wstring(8, L'k')), Stream(std::wstring(9, L'n'))}), {L"|kkkkkkkk"}, E_FAIL, 9},
        {"path too long at the root", Root({Stream(L"p1"), Folder(rootTooLong, {Stream(L"x")}), Stream(L"p2")}),
         {L"|p1"}, E_FAIL},
        {"path too long inside a sub-storage",
         Root({Folder(longFolder, {Folder(L"deeper-than-2047", {Stream(L"x")}), Stream(L"found")}), Stream(L"p")}),
         {L"|p", longFolder + L"|found"}, S_FALSE},
        // The component gives the first of names it resolves alike for each.
        {"names alike but for case",
         Root({Stream(L"Page.htm"), Stream(L"other.htm"), Stream(L"PAGE.HTM"), Folder(L"a", {Stream(L"x")}),
               Folder(L"A", {Stream(L"X")})}),
         {L"|Page.htm", L"|other.htm", L"a|x"}, S_FALSE},
        {"names that would leave the folder",
         Root({Folder(L"..", {Stream(L"evil")}), Folder(L".", {Stream(L"dot")}), Stream(L"a\\b"), Stream(L"c/d"),
               Stream(L"C:x"), Stream(L""), Folder(L"x\\..\\..", {Stream(L"evil2")}), Stream(L"ok")}),
         {L"|ok"}, S_FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        {
            CChmStorage reader;
            ASSERT_EQ(S_OK, OpenFake(reader, c.root, calls));
            const ChmWalk walk = WalkAll(reader, false, c.nameCapacity);
            EXPECT_EQ(c.want, walk.streams);
            EXPECT_EQ(c.end, walk.end);
            reader.Close();
        }
        EXPECT_EQ(0, calls.liveObjects) << "every interface is released";
    }
    EXPECT_EQ(0, calls.nextWithoutFetched);
}

TEST_F(FakeChm, CallsOutOfOrderFail)
{
    const FakeElement root = Root({Stream(L"p", "data")});
    wchar_t name[257], folder[2049];
    BYTE* block = reinterpret_cast<BYTE*>(1);
    DWORD count = 7;
    ScratchFolder scratch;

    CChmStorage never;
    EXPECT_EQ(E_FAIL, never.Next(name, 257, folder, 2049));
    EXPECT_EQ(E_FAIL, never.First(name, 257, folder, 2049));
    EXPECT_EQ(E_FAIL, never.ReadCurrent(&block, &count));
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(E_FAIL, never.ExtractCurrent((scratch / L"x").c_str()));
    never.Close();
    never.Close();

    CChmStorage opened;
    ASSERT_EQ(S_OK, OpenFake(opened, root, calls));
    EXPECT_EQ(E_FAIL, opened.Next(name, 257, folder, 2049)) << "Next before First";
    EXPECT_EQ(E_FAIL, opened.ReadCurrent(&block, &count)) << "ReadCurrent before First";
    EXPECT_EQ(E_FAIL, opened.ExtractCurrent((scratch / L"x").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch / L"x").c_str()));

    CChmStorage failed;
    EXPECT_EQ(STG_E_FILENOTFOUND, OpenFake(failed, root, calls, nullptr, STG_E_FILENOTFOUND));
    EXPECT_EQ(E_FAIL, failed.First(name, 257, folder, 2049));
    EXPECT_EQ(E_FAIL, failed.Next(name, 257, folder, 2049));

    // A reader that walked and then failed to open another file starts over.
    ASSERT_EQ(S_OK, opened.First(name, 257, folder, 2049));
    EXPECT_EQ(STG_E_FILENOTFOUND, OpenFake(opened, root, calls, nullptr, STG_E_FILENOTFOUND));
    EXPECT_EQ(E_FAIL, opened.Next(name, 257, folder, 2049));
    EXPECT_EQ(E_FAIL, opened.ReadCurrent(&block, &count));

    opened.Close();
    opened.Close();
    failed.Close();
    EXPECT_EQ(0, calls.liveObjects);
}

TEST_F(FakeChm, ReadsAndExtractsWithTheElementsTimes)
{
    FakeElement page = Stream(L"page.htm", "<html>page</html>");
    page.created = {0x11111111, 0x01D00000};
    page.accessed = {0x22222222, 0x01D10000};
    page.written = {0x33333333, 0x01D20000};
    FakeElement empty = Stream(L"empty.txt");
    empty.written = page.written;
    const FakeElement root = Root({Folder(L"a", {page, empty})});

    ScratchFolder scratch;
    CChmStorage reader;
    ASSERT_EQ(S_OK, OpenFake(reader, root, calls));
    wchar_t name[257], folder[2049];
    ASSERT_EQ(S_OK, reader.First(name, 257, folder, 2049));
    EXPECT_STREQ(L"page.htm", name);
    EXPECT_STREQ(L"a", folder);

    BYTE* raw = nullptr;
    DWORD count = 0;
    ASSERT_EQ(S_OK, reader.ReadCurrent(&raw, &count));
    LocalBlock<BYTE> block(raw);
    EXPECT_EQ(page.data, std::string(reinterpret_cast<char*>(raw), count));

    for (const auto* element : {&page, &empty}) {
        SCOPED_TRACE(Narrow(element->name));
        const std::wstring path = scratch / element->name;
        EXPECT_EQ(S_OK, reader.ExtractCurrent(path.c_str()));
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        EXPECT_EQ(element->data.size(), GetFileSize(file.get(), nullptr));
        FILETIME created, accessed, written;
        ASSERT_TRUE(GetFileTime(file.get(), &created, &accessed, &written));
        EXPECT_EQ(0, CompareFileTime(&element->written, &written));
        if (element == &page) {
            // Wine keeps files on a Linux file system, which has no settable
            // creation time; the other two are checked.
            EXPECT_EQ(0, CompareFileTime(&page.accessed, &accessed));
            ASSERT_EQ(S_OK, reader.Next(name, 257, folder, 2049));
            EXPECT_STREQ(L"empty.txt", name);
        }
    }

    // A stream of zero bytes still comes as a block.
    raw = nullptr;
    ASSERT_EQ(S_OK, reader.ReadCurrent(&raw, &count));
    LocalBlock<BYTE> emptyBlock(raw);
    EXPECT_NE(nullptr, raw);
    EXPECT_EQ(0u, count);
}

TEST_F(FakeChm, FailedReadsHandOutNothing)
{
    FakeElement noRead = Stream(L"noread", "bytes");
    noRead.readResult = STG_E_READFAULT;
    const FakeElement root =
        Root({Failing(Stream(L"noopen", "bytes"), STG_E_ACCESSDENIED), noRead});
    ScratchFolder scratch;
    CChmStorage reader;
    ASSERT_EQ(S_OK, OpenFake(reader, root, calls));
    wchar_t name[257], folder[2049];
    const HRESULT want[] = {STG_E_ACCESSDENIED, STG_E_READFAULT};
    HRESULT step = reader.First(name, 257, folder, 2049);
    for (HRESULT expected : want) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_EQ(S_OK, step);
        BYTE* raw = reinterpret_cast<BYTE*>(1);
        DWORD count = 5;
        EXPECT_EQ(expected, reader.ReadCurrent(&raw, &count));
        EXPECT_EQ(nullptr, raw);
        EXPECT_EQ(0u, count);
        const std::wstring path = scratch / name;
        EXPECT_EQ(expected, reader.ExtractCurrent(path.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "no file for a failed read";
        step = reader.Next(name, 257, folder, 2049);
    }
    EXPECT_EQ(S_FALSE, step);
}

TEST_F(FakeChm, ShortStreamIsReadButNotExtracted)
{
    FakeElement shortFalse = Stream(L"short-false.htm", "<html>cut");
    shortFalse.missingBytes = 7;
    FakeElement shortOk = shortFalse;
    shortOk.name = L"short-ok.htm";
    shortOk.shortReadSaysOk = true;
    const FakeElement root = Root({shortFalse, shortOk});
    ScratchFolder scratch;
    CChmStorage reader;
    ASSERT_EQ(S_OK, OpenFake(reader, root, calls));
    wchar_t name[257], folder[2049];
    HRESULT step = reader.First(name, 257, folder, 2049);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_EQ(S_OK, step);
        BYTE* raw = nullptr;
        DWORD count = 0;
        EXPECT_EQ(S_FALSE, reader.ReadCurrent(&raw, &count));
        LocalBlock<BYTE> block(raw);
        EXPECT_EQ(shortFalse.data, std::string(reinterpret_cast<char*>(raw), count));
        const std::wstring path = scratch / name;
        EXPECT_EQ(S_FALSE, reader.ExtractCurrent(path.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "no file for a short stream";
        step = reader.Next(name, 257, folder, 2049);
    }
    EXPECT_EQ(S_FALSE, step);
}

// Stands in for a disk that fills up part way through a page.
BOOL WINAPI WriteHalfThenDiskFull(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    WriteFile(file, data, count / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

BOOL WINAPI WriteHalfAndSucceed(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    return WriteFile(file, data, count / 2, written, nullptr);
}

TEST_F(FakeChm, FailedOrShortWriteFailsTheExtractionAndLeavesNoFile)
{
    struct Case {
        const char* label;
        WriteFileFn writer;
        HRESULT want;
    };
    const Case cases[] = {
        {"write fails", WriteHalfThenDiskFull, HRESULT_FROM_WIN32(ERROR_DISK_FULL)},
        {"write succeeds short", WriteHalfAndSucceed, HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL)},
    };
    const FakeElement root = Root({Stream(L"page.htm", "<html>a whole page</html>")});
    ScratchFolder scratch;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CChmStorage reader;
        ASSERT_EQ(S_OK, OpenFake(reader, root, calls));
        wchar_t name[257], folder[2049];
        ASSERT_EQ(S_OK, reader.First(name, 257, folder, 2049));
        const std::wstring path = scratch / name;
        const WriteFileFn previous = SetPageFileWriter(c.writer);
        const HRESULT hr = reader.ExtractCurrent(path.c_str());
        SetPageFileWriter(previous);
        EXPECT_EQ(c.want, hr);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "the partial page is removed";
        // The real write goes through the same path.
        EXPECT_EQ(S_OK, reader.ExtractCurrent(path.c_str()));
        EXPECT_EQ(root.children[0].data.size(), GetCompressedFileSizeW(path.c_str(), nullptr));
    }
}

TEST_F(FakeChm, MirrorModeMakesTheFoldersInsideTheRootOnly)
{
    const FakeElement root = Root({Folder(L"..", {Folder(L"escaped", {Stream(L"evil")})}),
                                   Folder(L"a", {Folder(L"b", {Stream(L"x")}), Folder(L"C:\\abs", {Stream(L"y")})}),
                                   Folder(L"empty", {}), Stream(L"top")});
    for (const wchar_t* suffix : {L"", L"\\"}) {
        SCOPED_TRACE(Narrow(suffix));
        ScratchFolder scratch;
        const std::wstring mirror = scratch / L"mirror";
        CChmStorage reader;
        ASSERT_EQ(S_OK, OpenFake(reader, root, calls, (mirror + suffix).c_str()));
        const ChmWalk walk = WalkAll(reader, false);
        EXPECT_EQ((std::vector<std::wstring>{L"a\\b|x", L"|top"}), walk.streams);
        reader.Close();

        EXPECT_EQ(std::vector<std::wstring>{L"mirror"}, Entries(scratch.Path())) << "nothing outside the root";
        EXPECT_EQ((std::vector<std::wstring>{L"a", L"empty"}), Entries(mirror));
        EXPECT_EQ(std::vector<std::wstring>{L"b"}, Entries(mirror + L"\\a"));
    }
}
}
