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
    relay.Clear();
    EXPECT_EQ(0, LiveObjects());
}

// An exception raised inside the page filter (as code built with the
// platform's compiler raises it) stops at the relay and becomes ours.
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
        if (row.throwingCall == 0) {
            EXPECT_THROW(relay.GetChunk(&chunk), PageFilterFault);
        } else {
            ASSERT_EQ(S_OK, relay.GetChunk(&chunk));
            if (row.throwingCall == 1)
                EXPECT_THROW(relay.GetText(&count, text), PageFilterFault);
            else
                EXPECT_THROW(relay.GetValue(&value), PageFilterFault);
        }
        // The faulted filter is let go without another call into it.
        EXPECT_FALSE(relay.Holds());
    }
}

}  // namespace
