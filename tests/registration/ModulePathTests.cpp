// The path written to InprocServer32 comes from the DLL's own handle, checked
// through the exports of real copies of the DLL.
#include "RegistrationFixture.h"

#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"

namespace {

using RegisterFn = HRESULT(STDAPICALLTYPE*)();

class ModulePath : public RegistrationOnScratch {
protected:
    static std::wstring InprocServer()
    {
        const Entries server = RegistryTree::Read(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kFilter);
        const auto found = server.find(L"InprocServer32");
        return found == server.end() ? L"(missing)" : found->second;
    }

    const std::wstring m_built = LoadedModule::BesideTestProgram(L"Tavrinolex.dll");
    ScratchFolder m_folder;
};

TEST_F(ModulePath, RenamedCopyRegistersItsOwnPath)
{
    // The original is loaded too: a lookup by file name would find it instead.
    LoadedModule original(m_built);
    const std::wstring renamed = m_folder / L"Renamed.dll";
    ASSERT_TRUE(CopyFileW(m_built.c_str(), renamed.c_str(), FALSE));
    LoadedModule copy(renamed);
    ASSERT_TRUE(original);
    ASSERT_TRUE(copy);

    ASSERT_EQ(S_OK, copy.Export<RegisterFn>("DllRegisterServer")());
    EXPECT_EQ(renamed, InprocServer());
    EXPECT_EQ(S_OK, copy.Export<RegisterFn>("DllUnregisterServer")());
    EXPECT_EQ((Entries{{L"CLSID", kNone}, {L".chm", kNone}}), Classes());
}

TEST_F(ModulePath, PathTooLongForTheKeyFailsRegistration)
{
    // A folder deep enough that the DLL's path has more than 260 characters.
    std::wstring relative;
    while (m_folder.Path().size() + relative.size() < 270)
        relative += std::wstring(40, L'd') + L"\\";
    const std::wstring folder = m_folder.MakeFolder(relative.substr(0, relative.size() - 1));
    const std::wstring deep = folder + L"\\Tavrinolex.dll";
    ASSERT_GT(deep.size(), 260u);
    ASSERT_TRUE(CopyFileW(m_built.c_str(), (L"\\\\?\\" + deep).c_str(), FALSE));
    LoadedModule module(deep);
    if (!module)
        GTEST_SKIP() << "this system cannot load a DLL from a path of " << deep.size() << " characters";

    EXPECT_EQ(SELFREG_E_CLASS, module.Export<RegisterFn>("DllRegisterServer")());
    EXPECT_EQ(0u, Classes().count(std::wstring(L"CLSID\\") + kFilter)) << "no server with a cut path";
}

}  // namespace
