#include <windows.h>

#include <atomic>
#include <set>
#include <thread>

#include "ReliabilityTest.h"
#include "support/Narrow.h"

namespace {

// Runs of one help file at once, with the attempt guard and the GUID log on:
// four threads of this process, and this process beside a second one. Runs that
// are released before their end each leave one mark; runs that end remove the
// record; every run logs its own folder; each run reads its own pages.
class Concurrency : public ReliabilityTest {
protected:
    void SetUp() override
    {
        ReliabilityTest::SetUp();
        m_chm = SmallHelpFile();
        WriteDebugSetting(L"BlackList", L"1");
        WriteDebugSetting(L"LogGuid", L"1");
        m_expected = Flatten(Pull(Start(m_chm).get()));
        ASSERT_GT(m_expected.size(), 10u);
        m_logged = 1;
    }

    // A run that ends (true) or is released after Init (false).
    bool OneRun(bool finish)
    {
        ComApartment com;
        auto filter = Start(m_chm);
        if (!finish)
            return true;
        return Flatten(Pull(filter.get())) == m_expected;
    }

    // The keys of the GUID log under this host, with their values.
    std::vector<std::pair<std::wstring, std::wstring>> LogEntries() const
    {
        std::vector<std::pair<std::wstring, std::wstring>> entries;
        std::vector<wchar_t> keys(1 << 16);
        const DWORD n = GetPrivateProfileStringW(HostPath().c_str(), nullptr, L"", keys.data(),
                                                 static_cast<DWORD>(keys.size()), GuidLogFile().c_str());
        for (const wchar_t* key = keys.data(); key < keys.data() + n && *key; key += wcslen(key) + 1) {
            wchar_t value[2048] = {};
            GetPrivateProfileStringW(HostPath().c_str(), key, L"", value, 2048, GuidLogFile().c_str());
            entries.emplace_back(key, value);
        }
        return entries;
    }

    void ExpectLogged(size_t runs) const
    {
        const auto entries = LogEntries();
        EXPECT_EQ(runs, entries.size());
        std::set<std::wstring> folders;
        for (const auto& entry : entries) {
            EXPECT_EQ(32u, entry.first.size()) << Narrow(entry.first);
            EXPECT_EQ(m_chm, entry.second);
            folders.insert(entry.first);
        }
        EXPECT_EQ(entries.size(), folders.size()) << "two runs shared a temporary folder";
    }

    // Starts this test program again in a second process that makes runs of the
    // same file in the same settings folder; it waits for the named event before
    // it starts, so that both processes run at once.
    PROCESS_INFORMATION StartSecondProcess(int runs, bool finish)
    {
        const std::wstring command = L"\"" + HostPath() + L"\" --gtest_filter=SecondProcess.Runs";
        const std::wstring env = m_appData + L"|" + m_temp + L"|" + m_chm + L"|" + std::to_wstring(runs) + L"|" +
                                 (finish ? L"1" : L"0");
        SetEnvironmentVariableW(L"TAVRINOLEX_SECOND_PROCESS", env.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        std::wstring line = command;
        EXPECT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        SetEnvironmentVariableW(L"TAVRINOLEX_SECOND_PROCESS", nullptr);
        return process;
    }

    std::wstring m_chm;
    std::wstring m_expected;
    size_t m_logged = 0;
};

TEST_F(Concurrency, FourThreadsOfOneProcess)
{
    auto atOnce = [this](bool finish) {
        std::vector<std::thread> threads;
        std::atomic<int> whole{0};
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([this, finish, &whole] {
                for (int run = 0; run < (finish ? 3 : 1); ++run)
                    whole += OneRun(finish) ? 1 : 0;
            });
        for (auto& thread : threads)
            thread.join();
        return whole.load();
    };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Four runs released unfinished: four marks, none lost, none doubled.
        atOnce(false);
        EXPECT_EQ(L"xxxx", Marks(m_chm));
        // The fifth blocks the file: the four after it are refused and log nothing.
        OneRun(false);
        EXPECT_EQ(L"xxxxx", Marks(m_chm));
        atOnce(false);
        EXPECT_EQ(L"xxxxx", Marks(m_chm));
        m_logged += 5;
        ExpectLogged(m_logged);
        // The administrator lifts the block; twelve runs to the end, four at a
        // time, each reading its own pages whole, leave no record.
        WritePrivateProfileStringW(HostPath().c_str(), m_chm.c_str(), nullptr, SettingsFile().c_str());
        EXPECT_EQ(12, atOnce(true));
        EXPECT_EQ(L"", Marks(m_chm));
        m_logged += 12;
        ExpectLogged(m_logged);
        EXPECT_TRUE(LeftBehindHere().empty());
    }
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Concurrency, TwoProcesses)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (bool finish : {false, true}) {
            // Two unfinished runs here and two in the other process: four marks.
            auto other = StartSecondProcess(2, finish);
            for (int run = 0; run < 2; ++run)
                EXPECT_TRUE(OneRun(finish));
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.hProcess, 120000));
            DWORD code = 1;
            GetExitCodeProcess(other.hProcess, &code);
            CloseHandle(other.hProcess);
            CloseHandle(other.hThread);
            EXPECT_EQ(0u, code) << "the second process failed";
            EXPECT_EQ(finish ? L"" : L"xxxx", Marks(m_chm));
            m_logged += 4;
            // Four unfinished runs are one short of the block; lift them for the next phase.
            WritePrivateProfileStringW(HostPath().c_str(), m_chm.c_str(), nullptr, SettingsFile().c_str());
        }
        ExpectLogged(m_logged);
        EXPECT_TRUE(LeftBehindHere().empty());
    }
}

// The second process of TwoProcesses; skipped when run on its own.
class SecondProcess : public ReliabilityTest {};

TEST_F(SecondProcess, Runs)
{
    wchar_t env[4096] = {};
    if (!GetEnvironmentVariableW(L"TAVRINOLEX_SECOND_PROCESS", env, 4096))
        GTEST_SKIP() << "runs only as the second process of Concurrency.TwoProcesses";
    std::vector<std::wstring> parts;
    std::wstring all = env;
    for (size_t start = 0;;) {
        const size_t bar = all.find(L'|', start);
        parts.push_back(all.substr(start, bar - start));
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    ASSERT_EQ(5u, parts.size());
    // The parent's settings folder and temporary path, not this test's own.
    SetAppDataFolder(parts[0]);
    SetEnvironmentVariableW(L"TMP", parts[1].c_str());
    const int runs = _wtoi(parts[3].c_str());
    for (int run = 0; run < runs; ++run) {
        auto filter = Start(parts[2]);
        if (parts[4] == L"1") {
            const SeenDocument doc = Pull(filter.get());
            EXPECT_EQ(FILTER_E_END_OF_CHUNKS, doc.end);
            EXPECT_GT(doc.chunks.size(), 3u);
        }
    }
    SetEnvironmentVariableW(L"TMP", m_temp.c_str());
}

}  // namespace
