// regsvr32 against the build's own prefix: the registration leaves exactly its
// keys, and unregistration puts the prefix back as it was.
#include "RegistrationFixture.h"

#include "support/LoadedModule.h"
#include "support/RunProgram.h"

namespace {

DWORD RunRegsvr32(const std::wstring& options, const std::wstring& dll)
{
    return RunProgram(L"regsvr32.exe " + options + L" \"" + dll + L"\"");
}

class Regsvr32 : public RegistrationTest {
protected:
    static Entries Key(const std::wstring& path) { return RegistryTree::Read(HKEY_CLASSES_ROOT, path); }
    static std::wstring Class(const wchar_t* id) { return std::wstring(L"CLSID\\") + id; }

    const std::wstring m_dll = LoadedModule::BesideTestProgram(L"Tavrinolex.dll");
};

TEST_F(Regsvr32, RegistersExactlyItsKeysAndUnregistersThem)
{
    const Entries chmBefore = Key(L".chm");
    const Entries progIdBefore = Key(L"chm.file");
    for (const wchar_t* id : {kHandler, kFilter, kDocClass})
        ASSERT_TRUE(Key(Class(id)).empty()) << "the prefix already holds " << std::string(id, id + 38);

    // Unregisters even when an assertion below ends the test early.
    struct Undo {
        const std::wstring& dll;
        ~Undo() { RunRegsvr32(L"/u /s", dll); }
    } undo{m_dll};

    ASSERT_EQ(0u, RunRegsvr32(L"/s", m_dll));
    EXPECT_EQ((Entries{{L"", L"Morvanex CHM filter Persistent Handler"},
                       {L"PersistentAddinsRegistered", kNone},
                       {L"PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}", kFilter}}),
              Key(Class(kHandler)));
    EXPECT_EQ((Entries{{L"", L"Morvanex CHM filter"},
                       {L"InprocServer32", m_dll},
                       {L"InprocServer32|ThreadingModel", L"Both"}}),
              Key(Class(kFilter)));
    EXPECT_EQ(Merge(chmBefore, {{L"PersistentHandler", kHandler}}), Key(L".chm"));
    EXPECT_EQ(progIdBefore, Key(L"chm.file")) << "open-only mode: the ProgID is not touched";
    EXPECT_TRUE(Key(Class(kDocClass)).empty());

    ASSERT_EQ(0u, RunRegsvr32(L"/u /s", m_dll));
    for (const wchar_t* id : {kHandler, kFilter, kDocClass})
        EXPECT_TRUE(Key(Class(id)).empty());
    EXPECT_EQ(chmBefore, Key(L".chm"));
    EXPECT_EQ(progIdBefore, Key(L"chm.file"));
}

}  // namespace
