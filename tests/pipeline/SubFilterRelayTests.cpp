#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <gtest/gtest.h>

#include <string>

#include "filter/SubFilterRelay.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"

namespace {

// The scriptable page filter made directly from its DLL, with a page loaded.
class Relay : public ::testing::Test {
protected:
    ComPtr<IFilter> PageFilter(const std::string& script)
    {
        using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto getClassObject = m_dll.Export<GetClassObjectFn>("DllGetClassObject");
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject(ScriptFilter::ClassId, IID_IClassFactory, factory.put_void()));
        ComPtr<IFilter> filter;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(IFilter), filter.put_void()));
        ComPtr<IPersistFile> persist;
        EXPECT_EQ(S_OK, filter.As(persist));
        const std::wstring page = m_folder.WriteFile(L"page.htm", "<!--script\n" + script + "\n-->");
        EXPECT_EQ(S_OK, persist->Load(page.c_str(), STGM_READ));
        ULONG flags = 0;
        EXPECT_EQ(S_OK, filter->Init(0, 0, nullptr, &flags));
        return filter;
    }

    LONG LiveObjects() const
    {
        return m_dll.Export<ScriptFilter::LiveObjectsFn>("ScriptFilterLiveObjects")();
    }

    ComApartment m_com;
    ScratchFolder m_folder;
    LoadedModule m_dll{LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll")};
};

// A page filter that reported an error for a chunk's text is not asked again:
// the host gets the same code.
TEST_F(Relay, TextErrorIsRepeated)
{
    SubFilterRelay relay;
    relay.Hold(PageFilter("text-error 80030005 hidden").get());
    STAT_CHUNK chunk{};
    ASSERT_EQ(S_OK, relay.GetChunk(&chunk));
    WCHAR text[16];
    ULONG count = 16;
    EXPECT_EQ(static_cast<HRESULT>(0x80030005), relay.GetText(&count, text));
    EXPECT_EQ(static_cast<HRESULT>(0x80030005), relay.GetText(&count, text));
    const LONG live = LiveObjects();
    relay.Clear();
    EXPECT_EQ(live - 1, LiveObjects());
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
        relay.Hold(PageFilter(row.script).get());
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
        // The faulted filter is let go without another call into it.
        EXPECT_FALSE(relay.Holds());
    }
}

}  // namespace
