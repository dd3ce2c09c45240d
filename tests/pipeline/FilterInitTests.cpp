#include <windows.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "support/FilterRun.h"
#include "filter/CIFilterBase.h"
#include "support/ChmBuilder.h"
#include "util/paths/FolderFind.h"
#include "util/owners/UniqueHandle.h"

namespace {

class FilterInit : public FilterTest {
protected:
    void SetUp() override
    {
        FilterTest::SetUp();
        m_chm = ChmBuilder(m_scratch).File("index.htm", "<html><body>one</body></html>").Build("Init Help");
    }

    // One run of the file: false when it was refused (the document ended at
    // once, without its title). A completed run is pulled to its end.
    bool Run(bool complete)
    {
        auto filter = Start(m_chm);
        STAT_CHUNK chunk{};
        const HRESULT first = filter->GetChunk(&chunk);
        if (first == FILTER_E_END_OF_CHUNKS) {
            EXPECT_TRUE(TempEntries().empty()) << "a refused run makes no folder";
            return false;
        }
        EXPECT_EQ(S_OK, first);
        if (complete) {
            EXPECT_EQ(FILTER_E_END_OF_CHUNKS, Pull(filter.get()).end);
        }
        return true;
    }

    static bool IsFolderName(const std::wstring& name)
    {
        if (name.size() != 32)
            return false;
        for (size_t i = 0; i < name.size(); ++i) {
            const wchar_t c = name[i];
            const bool lower = i >= 12 && i < 16;
            if (!iswdigit(c) && !(lower ? (c >= L'a' && c <= L'f') : (c >= L'A' && c <= L'F')))
                return false;
        }
        return true;
    }

    std::wstring m_chm;
};

TEST_F(FilterInit, WithoutSettingsEachRunHasItsOwnFolderUntilTheNextInitOrRelease)
{
    auto filter = Start(m_chm);
    const auto first = TempEntries();
    ASSERT_EQ(1u, first.size());
    EXPECT_TRUE(IsFolderName(first[0])) << Utf8(first[0]);
    EXPECT_TRUE(EntryNamesIn(SettingsFolder()).empty()) << "only the settings folder is made";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(GuidLogFile().c_str()));

    // A read-only file left in the folder goes with it.
    const std::wstring leftover = m_temp + L"\\" + first[0] + L"\\left.htm";
    {
        UniqueHandle file(CreateFileW(leftover.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_READONLY, nullptr));
        ASSERT_TRUE(file);
    }
    ULONG flags = 0;
    ASSERT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
    const auto second = TempEntries();
    ASSERT_EQ(1u, second.size());
    EXPECT_NE(first[0], second[0]);
    EXPECT_TRUE(IsFolderName(second[0])) << Utf8(second[0]);

    // The folder lives past the end of the document, until the object goes.
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, Pull(filter.get()).end);
    EXPECT_EQ(1u, TempEntries().size());
    filter.reset();
    EXPECT_TRUE(TempEntries().empty());
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(FilterInit, FolderNameKeepsData3InLowerCase)
{
    const GUID guid = {0xABCDEF01, 0xBCDE, 0xCDEF, {0xDE, 0xAD, 0xBE, 0xEF, 0x0A, 0x1B, 0x2C, 0x3D}};
    wchar_t name[CIFilterBase::kFolderNameCapacity];
    CIFilterBase::FormatFolderName(guid, name, CIFilterBase::kFolderNameCapacity);
    EXPECT_STREQ(L"ABCDEF01BCDEcdefDEADBEEF0A1B2C3D", name);
}

// A junction inside the run's folder is removed as a link: what it points at
// is not the run's. Wine cannot make one, so the walk is shown one.
HANDLE WINAPI FindFirstWithJunction(LPCWSTR pattern, LPWIN32_FIND_DATAW entry);
BOOL WINAPI FindNextWithJunction(HANDLE find, LPWIN32_FIND_DATAW entry);

void MarkJunction(LPWIN32_FIND_DATAW entry)
{
    if (wcscmp(entry->cFileName, L"junction") == 0)
        entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
}

HANDLE WINAPI FindFirstWithJunction(LPCWSTR pattern, LPWIN32_FIND_DATAW entry)
{
    HANDLE find = FindFirstFileW(pattern, entry);
    if (find != INVALID_HANDLE_VALUE)
        MarkJunction(entry);
    return find;
}

BOOL WINAPI FindNextWithJunction(HANDLE find, LPWIN32_FIND_DATAW entry)
{
    const BOOL found = FindNextFileW(find, entry);
    if (found)
        MarkJunction(entry);
    return found;
}

TEST_F(FilterInit, FolderRemovalDoesNotFollowAJunction)
{
    const std::wstring run = m_scratch.MakeFolder(L"run");
    m_scratch.MakeFolder(L"run\\junction");
    const std::wstring kept = m_scratch.WriteFile(L"run\\junction\\not-ours.txt", "x");
    m_scratch.WriteFile(L"run\\page.htm", "x");
    m_scratch.MakeFolder(L"run\\sub");
    m_scratch.WriteFile(L"run\\sub\\deeper.htm", "x");
    SetFolderFind(FindFirstWithJunction, FindNextWithJunction);
    CIFilterBase::DeleteFolderTree(run.c_str());
    SetFolderFind(nullptr, nullptr);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kept.c_str())) << "followed the junction";
    EXPECT_EQ(std::vector<std::wstring>{L"junction"}, EntryNamesIn(run));
}

TEST_F(FilterInit, FailsWithoutAFileOrWhenTheFileHasGone)
{
    auto filter = NewFilter();
    ULONG flags = 0;
    EXPECT_EQ(E_FAIL, filter->Init(kInitFlags, 0, nullptr, &flags));
    EXPECT_EQ(static_cast<ULONG>(IFILTER_FLAGS_OLE_PROPERTIES), flags);

    const std::wstring gone = m_scratch.WriteFile(L"gone.chm", "ITSF");
    ComPtr<IPersistFile> persist;
    ASSERT_EQ(S_OK, filter.query(persist));
    ASSERT_EQ(S_OK, persist->Load(gone.c_str(), STGM_READ));
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    flags = 0;
    EXPECT_EQ(E_FAIL, filter->Init(kInitFlags, 0, nullptr, &flags));
    EXPECT_EQ(static_cast<ULONG>(IFILTER_FLAGS_OLE_PROPERTIES), flags);
    EXPECT_TRUE(TempEntries().empty());
    STAT_CHUNK chunk{};
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
}

TEST_F(FilterInit, GuidLogGetsOneKeyPerRunNamedAfterItsFolder)
{
    WriteDebugSetting(L"LogGuid", L"1");
    std::vector<std::wstring> folders;
    for (int run = 0; run < 2; ++run) {
        auto filter = Start(m_chm);
        const auto entries = TempEntries();
        ASSERT_EQ(1u, entries.size());
        folders.push_back(entries[0]);
    }
    ASSERT_NE(folders[0], folders[1]);
    for (const auto& folder : folders) {
        wchar_t value[MAX_PATH] = {};
        GetPrivateProfileStringW(HostPath().c_str(), folder.c_str(), L"", value, MAX_PATH, GuidLogFile().c_str());
        EXPECT_EQ(m_chm, value) << Utf8(folder);
    }
    wchar_t keys[4096] = {};
    const DWORD length = GetPrivateProfileStringW(HostPath().c_str(), nullptr, L"", keys, 4096, GuidLogFile().c_str());
    size_t count = 0;
    for (const wchar_t* key = keys; key < keys + length && *key; key += wcslen(key) + 1)
        ++count;
    EXPECT_EQ(2u, count);
}

// One scratch settings folder, one file: each row starts from the marks and
// setting it names, makes its runs, and checks the marks and whether the next
// run is refused.
TEST_F(FilterInit, AttemptGuardTable)
{
    struct Row {
        const char* name;
        const wchar_t* setting;   // "BlackList", null: no setting
        const wchar_t* marks;     // written by hand first, null: none
        const char* runs;         // 'u' unfinished, 'c' completed, 'r' refused
        const wchar_t* after;     // marks afterwards
    };
    const Row rows[] = {
        {"five unfinished runs, the sixth refused", L"1", nullptr, "uuuuur", L"xxxxx"},
        {"a completed run among the first four removes the key", L"1", nullptr, "uucu", L"x"},
        {"a fifth completed run leaves five marks", L"1", nullptr, "uuuucr", L"xxxxx"},
        {"blocked by hand blocks at once", L"1", L"blocked", "rr", L"blocked"},
        {"four marks let one more run start", L"1", L"xxxx", "ur", L"xxxxx"},
        {"2 leaves the guard off", L"2", nullptr, "uuuuuuc", L""},
        {"yes leaves the guard off", L"yes", nullptr, "uuuuuu", L""},
        {"no setting leaves the guard off", nullptr, L"xxxxx", "uc", L"xxxxx"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteFileW(SettingsFile().c_str());
        if (row.setting)
            WriteDebugSetting(L"BlackList", row.setting);
        if (row.marks) {
            CreateDirectoryW(SettingsFolder().c_str(), nullptr);
            WritePrivateProfileStringW(HostPath().c_str(), m_chm.c_str(), row.marks, SettingsFile().c_str());
        }
        for (const char* run = row.runs; *run; ++run) {
            SCOPED_TRACE(std::string("run ") + std::to_string(run - row.runs + 1));
            EXPECT_EQ(*run != 'r', Run(*run == 'c'));
        }
        EXPECT_EQ(std::wstring(row.after), Marks(m_chm));
        EXPECT_TRUE(TempEntries().empty());
    }
}

TEST_F(FilterInit, TwoHostProgramsKeepSeparateRecords)
{
    WriteDebugSetting(L"BlackList", L"1");
    const std::wstring otherHost = L"C:\\Program Files\\Other Search\\bin\\otherhost.exe";
    WritePrivateProfileStringW(otherHost.c_str(), m_chm.c_str(), L"xxxxx", SettingsFile().c_str());
    EXPECT_TRUE(Run(false));
    EXPECT_EQ(L"x", Marks(m_chm));
    EXPECT_EQ(L"xxxxx", Marks(m_chm, otherHost));
    EXPECT_TRUE(Run(true));
    EXPECT_EQ(L"", Marks(m_chm));
    EXPECT_EQ(L"xxxxx", Marks(m_chm, otherHost));
}

// One object used for run after run, as hosts reuse them: each run that ends
// leaves the record as a new object's would, so a file is never blocked by its
// own completed runs, and the record of one file is never taken for another's.
TEST_F(FilterInit, OneObjectForManyRunsAndFiles)
{
    WriteDebugSetting(L"BlackList", L"1");
    auto filter = Start(m_chm);
    for (int run = 0; run < 7; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        ULONG flags = 0;
        if (run > 0) {
            ASSERT_EQ(S_OK, filter->Init(kInitFlags, 0, nullptr, &flags));
        }
        EXPECT_EQ(L"x", Marks(m_chm));
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        EXPECT_FALSE(doc.chunks.empty()) << "refused";
    }

    // Another file loaded after a completed run: the run before is left as
    // its end would leave it, and the other file's marks are not touched.
    const std::wstring other = m_scratch.WriteFile(L"other.chm", "not opened");
    WritePrivateProfileStringW(HostPath().c_str(), other.c_str(), L"xx", SettingsFile().c_str());
    ComPtr<IPersistFile> persist;
    ASSERT_EQ(S_OK, filter.query(persist));
    ASSERT_EQ(S_OK, persist->Load(other.c_str(), STGM_READ));
    EXPECT_EQ(L"", Marks(m_chm));
    persist.reset();
    filter.reset();
    EXPECT_EQ(L"xx", Marks(other));
    EXPECT_TRUE(TempEntries().empty());

    // Another file loaded while a run is under way: the run keeps the file it
    // started with, and its end forgets that file's marks, not the other's.
    filter = Start(m_chm);
    ASSERT_EQ(S_OK, filter.query(persist));
    STAT_CHUNK chunk{};
    ASSERT_EQ(S_OK, filter->GetChunk(&chunk));
    ASSERT_EQ(S_OK, persist->Load(other.c_str(), STGM_READ));
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, Pull(filter.get()).end);
    EXPECT_EQ(L"x", Marks(m_chm));
    persist.reset();
    filter.reset();
    EXPECT_EQ(L"", Marks(m_chm));
    EXPECT_EQ(L"xx", Marks(other));
}

// The profile functions end a key at its first '='. A file whose path holds one
// still has one record that counts its runs; every other path keeps its own
// path as its key.
TEST_F(FilterInit, PathWithAnEqualsSignIsGuardedLikeAnyOther)
{
    WriteDebugSetting(L"BlackList", L"1");
    const std::wstring folder = m_scratch.MakeFolder(L"a=b");
    const std::wstring chm = folder + L"\\x=y.chm";
    ASSERT_TRUE(CopyFileW(m_chm.c_str(), chm.c_str(), FALSE));
    std::wstring key = chm;
    for (auto& c : key)
        c = c == L'=' ? L'|' : c;
    const std::wstring saved = m_chm;
    m_chm = chm;
    for (int run = 0; run < 5; ++run)
        EXPECT_TRUE(Run(false)) << "run " << run + 1;
    EXPECT_FALSE(Run(true)) << "five unfinished runs: refused";
    EXPECT_EQ(L"xxxxx", Marks(key));
    wchar_t keys[4096] = {};
    const DWORD length = GetPrivateProfileStringW(HostPath().c_str(), nullptr, L"", keys, 4096, SettingsFile().c_str());
    EXPECT_EQ(key.size() + 1, length) << "one key for the file";

    // A completed run forgets it again.
    WritePrivateProfileStringW(HostPath().c_str(), key.c_str(), L"xx", SettingsFile().c_str());
    EXPECT_TRUE(Run(true));
    EXPECT_EQ(L"", Marks(key));
    m_chm = saved;
}

// A path with characters outside the system's code page (Cyrillic and Chinese
// here, on a Western system), in a settings file made by hand as ANSI text and
// in one saved as UTF-16: its record reads back as written, under one key of
// its own, so its runs are counted and five unfinished ones block it; another
// such path that the code page would spell alike keeps a record of its own.
TEST_F(FilterInit, PathsOutsideTheCodePageKeepRecordsOfTheirOwn)
{
    ASSERT_EQ(1252u, GetACP()) << "the paths must hold characters the code page lacks";
    struct Row {
        const char* name;
        std::string settings;  // the file's bytes
    };
    const std::string utf16("\xFF\xFE[\0D\0e\0b\0u\0g\0]\0\r\0\n\0B\0l\0a\0c\0k\0L\0i\0s\0t\0=\0" "1\0\r\0\n\0", 44);
    const Row rows[] = {{"ANSI", "[Debug]\r\nBlackList=1\r\n"}, {"UTF-16", utf16}};
    const std::wstring folder =
        m_scratch.MakeFolder(L"\x041A\x0438\x0440\x0438\x043B\x043B\x0438\x0446\x0430 \x6F22\x5B57");
    const std::wstring first = folder + L"\\\x0434\x043E\x043A\x0443\x043C\x0435\x043D\x0442 \x6587\x66F8.chm";
    const std::wstring second = folder + L"\\\x0434\x043E\x043A\x0443\x043C\x0435\x043D\x0442 \x6587\x66F9.chm";
    ASSERT_TRUE(CopyFileW(m_chm.c_str(), first.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(m_chm.c_str(), second.c_str(), FALSE));
    const auto keys = [this] {
        wchar_t list[4096] = {};
        GetPrivateProfileStringW(HostPath().c_str(), nullptr, L"", list, 4096, SettingsFile().c_str());
        std::vector<std::wstring> names;
        for (const wchar_t* key = list; *key; key += wcslen(key) + 1)
            names.push_back(key);
        return names;
    };
    const std::wstring saved = m_chm;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_scratch.WriteFile(L"appdata\\Morvanex\\IFilterProcess.ini", row.settings);
        m_chm = first;
        for (int run = 0; run < 5; ++run)
            EXPECT_TRUE(Run(false)) << "run " << run + 1;
        EXPECT_FALSE(Run(true)) << "five unfinished runs: refused";
        m_chm = second;
        EXPECT_TRUE(Run(false)) << "the other path has a record of its own";

        // Two keys, each reading back its marks.
        std::vector<std::wstring> marks;
        for (const auto& name : keys())
            marks.push_back(Marks(name));
        std::sort(marks.begin(), marks.end());
        EXPECT_EQ((std::vector<std::wstring>{L"x", L"xxxxx"}), marks);
        // A completed run forgets the marks of a file not yet blocked.
        EXPECT_TRUE(Run(true));
        ASSERT_EQ(1u, keys().size());
        EXPECT_EQ(L"xxxxx", Marks(keys().front()));
        DeleteFileW(SettingsFile().c_str());
    }
    m_chm = saved;
}

// Only a run that reached its end is completed: one refused by an abandoned
// guard mutex, or one whose Init failed, keeps the marks the file had.
TEST_F(FilterInit, RunsThatNeverReachedTheirEndKeepTheMarks)
{
    WriteDebugSetting(L"BlackList", L"1");
    struct Row {
        const char* name;
        bool abandonMutex;
        bool unmakeableTemp;
        const wchar_t* after;
    };
    const Row rows[] = {
        {"refused: the guard's mutex was abandoned", true, false, L"xx"},
        {"Init failed after its mark: no temporary folder", false, true, L"xxx"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WritePrivateProfileStringW(HostPath().c_str(), m_chm.c_str(), L"xx", SettingsFile().c_str());
        UniqueHandle abandoned;
        if (row.abandonMutex) {
            std::thread([&abandoned] {
                // The thread ends owning it.
                abandoned.reset(CreateMutexW(nullptr, TRUE, L"Morvanex.IFilterBase.IFilterProcess.03750285"));
            }).join();
        }
        if (row.unmakeableTemp)
            SetEnvironmentVariableW(L"TMP", (m_scratch.WriteFile(L"a-file", "x") + L"\\below").c_str());
        auto filter = Start(m_chm, row.unmakeableTemp ? E_FAIL : S_OK);
        STAT_CHUNK chunk{};
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
        filter.reset();
        SetEnvironmentVariableW(L"TMP", m_temp.c_str());
        EXPECT_EQ(std::wstring(row.after), Marks(m_chm));
    }
}

// A process that died holding the guard's mutex costs one refused run, and
// does not keep every later run waiting.
TEST_F(FilterInit, AbandonedGuardMutexRefusesOnceOnly)
{
    WriteDebugSetting(L"BlackList", L"1");
    std::thread([] {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Morvanex.IFilterBase.IFilterProcess.03750285");
        (void)mutex;  // the thread ends owning it
    }).join();
    EXPECT_FALSE(Run(true));
    EXPECT_TRUE(Run(true));
    EXPECT_EQ(L"", Marks(m_chm));
    // Another thread (as another process would) gets the mutex at once.
    DWORD wait = WAIT_FAILED;
    std::thread([&wait] {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Morvanex.IFilterBase.IFilterProcess.03750285");
        wait = WaitForSingleObject(mutex, 0);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    EXPECT_EQ(WAIT_OBJECT_0, wait);
}

}  // namespace
