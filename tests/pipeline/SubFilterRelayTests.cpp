#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <gtest/gtest.h>

#include <string>

#include "filter/SubFilterRelay.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "support/ClassObject.h"
#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"
#include "util/owners/ComPtr.h"

namespace {

// The scriptable page filter made directly from its DLL, with a page loaded.
class Relay : public ::testing::Test {
protected:
    ForeignPtr<IFilter> PageFilter(const std::string& script)
    {
        ComPtr<IFilter> filter;
        EXPECT_EQ(S_OK, CreateThroughClassObject(ClassObjectExport(m_dll.get()), ScriptFilter::ClassId, filter));
        ComPtr<IPersistFile> persist;
        EXPECT_EQ(S_OK, filter.query(persist));
        const std::wstring page = m_folder.WriteFile(L"page.htm", "<!--script\n" + script + "\n-->");
        EXPECT_EQ(S_OK, persist->Load(page.c_str(), STGM_READ));
        ULONG flags = 0;
        EXPECT_EQ(S_OK, filter->Init(0, 0, nullptr, &flags));
        return ForeignPtr<IFilter>(filter.detach(), m_dll.get());
    }

    LONG LiveObjects() const
    {
        return m_dll.Export<ScriptFilter::LiveObjectsFn>("ScriptFilterLiveObjects")();
    }
    LONG Calls() const { return m_dll.Export<ScriptFilter::CallsFn>("ScriptFilterCalls")(); }

    ComApartment m_com;
    ScratchFolder m_folder;
    LoadedModule m_dll{LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll")};
};

// A page filter that reported an error for a chunk's text is not asked again:
// the host gets the same code. A success, even an unusual one, is asked for
// anew each time, so that the count the host reads is the filter's own.
TEST_F(Relay, OnlyTextErrorsAreRepeatedWithoutAskingTheFilter)
{
    struct Row {
        const char* script;
        HRESULT result;
        bool replayed;
    };
    const Row rows[] = {
        {"text-error 80030005 hidden", static_cast<HRESULT>(0x80030005), true},
        {"text-error 1 odd success", S_FALSE, false},
        {"text-error 00041709 last", FILTER_S_LAST_TEXT, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        SubFilterRelay relay;
        ForeignPtr<IFilter> filter = PageFilter(row.script);
        relay.Hold(filter);
        filter.reset();
        STAT_CHUNK chunk{};
        ASSERT_EQ(S_OK, relay.GetChunk(&chunk));
        WCHAR text[16];
        ULONG count = 16;
        EXPECT_EQ(row.result, relay.GetText(&count, text));
        const LONG calls = Calls();
        EXPECT_EQ(row.result, relay.GetText(&count, text));
        EXPECT_EQ(row.replayed ? calls : calls + 1, Calls());
        const LONG live = LiveObjects();
        relay.Clear();
        EXPECT_EQ(live - 1, LiveObjects());
    }
}

// An exception raised inside the page filter (as code built with the
// platform's compiler raises it) stops at the relay, which reports it.
TEST_F(Relay, ExceptionInsideThePageFilterStopsAtTheRelay)
{
    struct Row {
        const char* script;
        int throwingCall;  // 0 GetChunk, 1 GetText, 2 GetValue
    };
    const Row rows[] = {{"throw chunk\ntext a", 0}, {"throw text\ntext a", 1}, {"throw value\nvalue a", 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        SubFilterRelay relay;
        ForeignPtr<IFilter> filter = PageFilter(row.script);
        relay.Hold(filter);
        STAT_CHUNK chunk{};
        WCHAR text[16];
        ULONG count = 16;
        PROPVARIANT* value = nullptr;
        HRESULT hr = S_OK;
        if (row.throwingCall == 0) {
            hr = relay.GetChunk(&chunk);
        } else {
            ASSERT_EQ(S_OK, relay.GetChunk(&chunk));
            ASSERT_FALSE(relay.Faulted());
            hr = row.throwingCall == 1 ? relay.GetText(&count, text) : relay.GetValue(&value);
        }
        EXPECT_EQ(SubFilterRelay::kFaulted, hr);
        EXPECT_TRUE(relay.Faulted());
        EXPECT_EQ(nullptr, value) << "what the faulting filter wrote is not handed on";
        // The faulted filter is let go without another call into it, and the
        // DLL is on record: the other reference is given up too.
        EXPECT_FALSE(relay.Holds());
        EXPECT_TRUE(ForeignFaults::Process().Contains(m_dll.get()));
        const LONG calls = Calls();
        filter.reset();
        EXPECT_EQ(calls, Calls());
        ForeignFaults::Process().ForgetAllForTests();
    }
}

}  // namespace
