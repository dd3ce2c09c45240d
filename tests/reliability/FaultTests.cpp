#include <windows.h>

#include "support/LookupFixture.h"
#include "ReliabilityTest.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "support/FaultingFilterCopy.h"
#include "support/Narrow.h"

namespace {

// Faults around a run, each ending the way the filter promises: Init fails only
// where the temporary folder cannot be made; a file that has gone or cannot be
// read ends the document after its title; nothing is left behind.
class Faults : public ReliabilityTest {
protected:
    void SetUp() override
    {
        ReliabilityTest::SetUp();
        m_chm = SmallHelpFile();
        WriteDebugSetting(L"BlackList", L"1");
    }

    // A path below a plain file: no folder can ever be made there.
    std::wstring Unmakeable() const { return m_scratch.WriteFile(L"a-file", "x") + L"\\below"; }

    // This test program again, in another process, holding the file open
    // without sharing until m_release is set.
    PROCESS_INFORMATION HoldExclusively(const std::wstring& path)
    {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId());
        m_held = CreateEventW(nullptr, TRUE, FALSE, (L"TavrinolexTestHeld" + tag).c_str());
        m_release = CreateEventW(nullptr, TRUE, FALSE, (L"TavrinolexTestRelease" + tag).c_str());
        SetEnvironmentVariableW(L"TAVRINOLEX_HOLD", (tag + L"|" + path).c_str());
        std::wstring line = L"\"" + HostPath() + L"\" --gtest_filter=HoldFile.Exclusively";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        SetEnvironmentVariableW(L"TAVRINOLEX_HOLD", nullptr);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_held, 30000));
        return process;
    }

    void TearDown() override
    {
        if (m_held)
            CloseHandle(m_held);
        if (m_release)
            CloseHandle(m_release);
        ReliabilityTest::TearDown();
    }

    std::wstring m_chm;
    HANDLE m_held = nullptr;
    HANDLE m_release = nullptr;
};

TEST_F(Faults, TemporaryPathNotWritable)
{
    SetEnvironmentVariableW(L"TMP", Unmakeable().c_str());
    auto filter = Start(m_chm, E_FAIL);
    STAT_CHUNK chunk{};
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
    filter = {};
    EXPECT_EQ(S_OK, canUnloadNow());
    SetEnvironmentVariableW(L"TMP", m_temp.c_str());
    EXPECT_TRUE(LeftBehindHere().empty());
}

TEST_F(Faults, SettingsFolderNotCreatable)
{
    // The settings cannot be read either: the guard is off, the run goes on.
    const std::wstring appData = Unmakeable();
    SetAppDataFolder(appData);
    const SeenDocument doc = Pull(Start(m_chm).get());
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
    EXPECT_GT(doc.chunks.size(), 3u);
    EXPECT_TRUE(TempEntries().empty());
}

TEST_F(Faults, HelpFileGoneOrLockedAfterInit)
{
    struct Row {
        const char* name;
        bool deleteIt;
    };
    for (const Row row : {Row{"deleted", true}, Row{"locked by another process", false}}) {
        SCOPED_TRACE(row.name);
        const std::wstring chm = SmallHelpFile(std::string(row.deleteIt ? "gone" : "locked") + ".chm");
        auto filter = Start(chm);
        PROCESS_INFORMATION locker{};
        if (row.deleteIt) {
            ASSERT_TRUE(DeleteFileW(chm.c_str()));
        } else {
            locker = HoldExclusively(chm);
            ASSERT_TRUE(locker.hProcess);
        }
        const SeenDocument doc = Pull(filter.get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        ASSERT_EQ(1u, doc.chunks.size()) << "only the title";
        EXPECT_EQ(std::wstring(row.deleteIt ? L"gone" : L"locked"), doc.chunks[0].values.at(0));
        filter = {};
        if (locker.hProcess) {
            SetEvent(m_release);
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(locker.hProcess, 30000));
            CloseHandle(locker.hProcess);
            CloseHandle(locker.hThread);
        }
        EXPECT_EQ(L"", Marks(chm)) << "the run ended, so its attempt is forgotten";
        EXPECT_TRUE(TempEntries().empty());
    }
}

// Page filters that fail inside GetText, by an error code or by raising: the
// host sees the code or no text for that chunk, the pages of other filters
// still come (the one that raised is not called again), and the run ends as a
// completed one.
TEST_F(Faults, PageFilterGetTextErrorsAndThrows)
{
    const FaultingFilterCopy raising(200);
    LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString, raising.Path());
    LookupFixture::RegisterHandler(LookupFixture::kHandler, ScriptFilter::ClassIdString);
    LookupFixture::LinkExtensionHandler(L"htm", LookupFixture::kHandler);
    const std::wstring chm = ChmBuilder(m_scratch, L"textfaults")
                                 .File("a.htm", "<!--script\ntext-error 80004005 broken\ntext after error\n-->")
                                 .File("b.htm", "<!--script\nthrow text\ntext raised\n-->")
                                 .File("c.htm", "<!--script\ntext never, the filter raised\n-->")
                                 .File("d.txt", "last page")
                                 .Build("Text faults", "textfaults.chm");
    const SeenDocument doc = Pull(Start(chm).get());
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
    std::vector<std::pair<std::string, HRESULT>> texts;
    for (size_t i = 1; i < doc.chunks.size(); ++i)
        texts.emplace_back(Utf8(doc.chunks[i].text), doc.chunks[i].textEnd);
    const std::vector<std::pair<std::string, HRESULT>> want = {
        {"", E_FAIL}, {"after error", FILTER_E_NO_MORE_TEXT}, {"", FILTER_E_NO_TEXT}, {"last page", FILTER_E_NO_MORE_TEXT}};
    EXPECT_EQ(want, texts);
    EXPECT_EQ(L"", Marks(chm));
    EXPECT_TRUE(TempEntries().empty());
}

// A page filter DLL that is there when the filter is looked up and gone (here:
// replaced by a file that is no program) when it is loaded: that page is
// skipped and the rest goes on. The DLL carries the name of a filter known to
// take files, so the lookup does not load it to ask; the scripted page before
// it does the swap.
TEST_F(Faults, PageFilterDllGoneBeforeItsLoad)
{
    const std::wstring copy = m_scratch / L"zondrakex.dll";
    ASSERT_TRUE(CopyFileW(LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll").c_str(), copy.c_str(), TRUE));
    // The reference filter's plain-text class, served by the copy.
    LookupFixture::RegisterFilterClass(L"{02C11C08-399A-4FBF-80CB-64DCF173A986}", copy);
    LookupFixture::RegisterFilterClass(ScriptFilter::ClassIdString,
                                       LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll"));
    LookupFixture::RegisterHandler(LookupFixture::kHandler, ScriptFilter::ClassIdString);
    LookupFixture::LinkExtensionHandler(L"htm", LookupFixture::kHandler);
    for (const bool swap : {false, true}) {
        SCOPED_TRACE(swap ? "swapped" : "in place");
        const std::string name = swap ? "dllgone" : "dllthere";
        const std::wstring chm =
            ChmBuilder(m_scratch, std::wstring(name.begin(), name.end()))
                .File("b.htm", "<!--script\ntext swap\n" + (swap ? "replace-file " + Narrow(copy) : "") + "\n-->")
                .File("c.txt", "plain after")
                .File("d.htm", "<!--script\ntext still here\n-->")
                .Build("Gone", name + ".chm");
        const SeenDocument doc = Pull(Start(chm).get());
        EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
        std::wstring texts;
        for (const auto& chunk : doc.chunks)
            texts += chunk.text + L"|";
        EXPECT_EQ(swap ? L"|swap|still here|" : L"|swap|plain after|still here|", texts);
        EXPECT_EQ(L"", Marks(chm));
        EXPECT_TRUE(TempEntries().empty());
    }
}

// The holder of HoldExclusively; skipped when run on its own.
TEST(HoldFile, Exclusively)
{
    wchar_t env[2048] = {};
    if (!GetEnvironmentVariableW(L"TAVRINOLEX_HOLD", env, 2048))
        GTEST_SKIP() << "runs only as the holder of Faults.HelpFileGoneOrLockedAfterInit";
    const std::wstring all = env;
    const std::wstring tag = all.substr(0, all.find(L'|'));
    const std::wstring path = all.substr(all.find(L'|') + 1);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"TavrinolexTestHeld" + tag).c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (L"TavrinolexTestRelease" + tag).c_str());
    ASSERT_TRUE(held && release);
    SetEvent(held);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(release, 60000));
    CloseHandle(file);
    CloseHandle(held);
    CloseHandle(release);
}

}  // namespace
