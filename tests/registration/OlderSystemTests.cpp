// Runs with Wine's per-program Version override (set by the suite's fixture)
// so that the DLL's own GetVersionExW call reports a system older than
// Windows 2000: missing document-type keys are then created and described.
#include "RegistrationFixture.h"

#include "registration/SelfRegistration.h"
#include "support/LoadedModule.h"

namespace {

using RegisterFn = HRESULT(STDAPICALLTYPE*)();

TEST(OlderSystem, VersionOverrideIsInEffect)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_FALSE(IsOpenOnlyMode(&GetVersionExW))
        << "platform " << info.dwPlatformId << ", version " << info.dwMajorVersion << "." << info.dwMinorVersion;
}

class OlderSystemExports : public RegistrationTest {
protected:
    const std::wstring m_path = LoadedModule::BesideTestProgram(L"Tavrinolex.dll");
    LoadedModule m_dll{m_path};
};

TEST_F(OlderSystemExports, MissingDocumentTypeKeysAreCreatedAndRemoved)
{
    ASSERT_TRUE(m_dll);
    const auto doRegister = m_dll.Export<RegisterFn>("DllRegisterServer");
    const auto doUnregister = m_dll.Export<RegisterFn>("DllUnregisterServer");
    const std::wstring doc = std::wstring(L"CLSID\\") + kDocClass;
    const Entries ours = {
        {L".chm\\PersistentHandler", kHandler},
        {L"chm.file\\CLSID", kDocClass},
        {doc, L"Compiled HTML Help file"},
        {doc + L"\\PersistentHandler", kHandler},
    };
    struct Case {
        const char* name;
        Entries seed;
        Entries added;
        Entries afterUnregister;
    };
    const Entries winePrefix = {
        {L"CLSID", kNone},
        {L".chm", L"chm.file"},
        {L"chm.file", L"Compiled HTML Help File"},
        {L"chm.file\\shell", kNone},
    };
    const Case cases[] = {
        {"empty tree", {{L"CLSID", kNone}},
         Merge(ours, {{L".chm", L"chm.file"}, {L"chm.file", L"Compiled HTML Help file"}}),
         {{L"CLSID", kNone}, {L".chm", kNone}}},
        {"Wine's prefix: existing keys keep their descriptions", winePrefix, ours, winePrefix},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchRegistry registry;
        Seed(c.seed);
        ASSERT_EQ(S_OK, doRegister());
        EXPECT_EQ(Merge(Merge(c.seed, OwnKeys(m_path)), c.added), Classes());
        EXPECT_EQ(S_OK, doUnregister());
        EXPECT_EQ(c.afterUnregister, Classes());
    }
}

}  // namespace
