#include "RegistrationFixture.h"

#include <string>
#include <vector>

#include "registration/HandlerRegistration.h"
#include "registration/KeyChain.h"
#include "registration/RegistrationTable.h"
#include "registration/SelfRegistration.h"
#include "registration/ServerRegistration.h"
#include "support/LoadedModule.h"
#include "util/owners/RegKey.h"

namespace {

template <DWORD Platform, DWORD Major, DWORD Minor>
BOOL WINAPI FakeVersion(LPOSVERSIONINFOW info)
{
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW))
        return FALSE;
    info->dwPlatformId = Platform;
    info->dwMajorVersion = Major;
    info->dwMinorVersion = Minor;
    return TRUE;
}

BOOL WINAPI FailingVersion(LPOSVERSIONINFOW)
{
    return FALSE;
}

constexpr VersionQuery kWindows7 = &FakeVersion<VER_PLATFORM_WIN32_NT, 6, 1>;
constexpr VersionQuery kNt4 = &FakeVersion<VER_PLATFORM_WIN32_NT, 4, 0>;

HRESULT Register(VersionQuery query)
{
    return RegisterFilter(GetModuleHandleW(nullptr), query);
}

void SetDword(const wchar_t* path, DWORD value)
{
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                            sizeof(value)));
}

using Registration = RegistrationOnScratch;
using RegistrationRows = RegistrationTest;

TEST(RegistrationMode, OpenOnlyFromWindows2000On)
{
    struct Case {
        const char* name;
        VersionQuery query;
        bool openOnly;
    };
    const Case cases[] = {
        {"Windows 95", &FakeVersion<VER_PLATFORM_WIN32_WINDOWS, 4, 0>, false},
        {"Windows 98", &FakeVersion<VER_PLATFORM_WIN32_WINDOWS, 4, 10>, false},
        {"Windows Me", &FakeVersion<VER_PLATFORM_WIN32_WINDOWS, 4, 90>, false},
        {"a 9x of major 5", &FakeVersion<VER_PLATFORM_WIN32_WINDOWS, 5, 0>, false},
        {"NT 4.0", kNt4, false},
        {"Windows 2000", &FakeVersion<VER_PLATFORM_WIN32_NT, 5, 0>, true},
        {"Windows 7", kWindows7, true},
        {"Windows 10", &FakeVersion<VER_PLATFORM_WIN32_NT, 10, 0>, true},
        {"query fails", &FailingVersion, false},
        {"Wine's own answer (Windows 7)", &GetVersionExW, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.openOnly, IsOpenOnlyMode(c.query));
    }
}

// One row per starting tree: what registration adds to it, and what is left
// of everything after unregistration.
struct Scenario {
    const char* name;
    VersionQuery query;
    RegistryTree::Entries seed;
    RegistryTree::Entries added;
    RegistryTree::Entries afterUnregister;
};

std::vector<Scenario> Scenarios()
{
    constexpr const wchar_t* kNone = RegistryTree::kNoValue;
    const std::wstring handler = L"{3C8F2A17-D4B9-4E06-8A3B-91F7C2E5D048}";
    const std::wstring doc = L"{B5E07D92-6A1C-4F3D-B2E8-0C49A7F318D5}";
    const std::wstring other = L"{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}";
    // HKCR\.chm and HKCR\chm.file as a plain Wine prefix has them.
    const RegistryTree::Entries wine = {
        {L"CLSID", kNone},
        {L".chm", L"chm.file"},
        {L"chm.file", L"Compiled HTML Help File"},
        {L"chm.file\\shell", kNone},
        {L"chm.file\\shell\\open", kNone},
        {L"chm.file\\shell\\open\\command", L"\"C:\\windows\\hh.exe\" \"%1\""},
    };
    const std::wstring previous = kPreviousHandlerValue;
    const RegistryTree::Entries otherProduct = {
        {L".chm\\PersistentHandler", other},
        {L"CLSID\\" + other, L"Other product's handler"},
        {L"CLSID\\" + other + L"\\PersistentAddinsRegistered", kNone},
        {L"CLSID\\" + other + L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}",
         L"{0D1E2F30-0000-0000-0000-00000000F117}"},
    };
    auto with = [](RegistryTree::Entries base, const RegistryTree::Entries& more) {
        for (const auto& [k, v] : more)
            base[k] = v;
        return base;
    };
    return {
        {"open-only, empty tree", kWindows7, {{L"CLSID", kNone}},
         {{L".chm", kNone}, {L".chm\\PersistentHandler", handler}},
         {{L"CLSID", kNone}, {L".chm", kNone}}},
        {"open-only, ProgID without CLSID (Wine's prefix)", kWindows7, wine,
         {{L".chm\\PersistentHandler", handler}}, wine},
        {"open-only, ProgID naming an existing class", kWindows7,
         with(wine, {{L"chm.file\\CLSID", other}, {L"CLSID\\" + other, L"Other document"},
                     {L"CLSID\\" + other + L"\\DefaultIcon", L"x.dll,1"}}),
         {{L".chm\\PersistentHandler", handler}, {L"CLSID\\" + other + L"\\PersistentHandler", handler}},
         with(wine, {{L"chm.file\\CLSID", other}, {L"CLSID\\" + other, L"Other document"},
                     {L"CLSID\\" + other + L"\\DefaultIcon", L"x.dll,1"}})},
        {"open-only, ProgID naming a missing class", kWindows7, with(wine, {{L"chm.file\\CLSID", other}}),
         {{L".chm\\PersistentHandler", handler}}, with(wine, {{L"chm.file\\CLSID", other}})},
        {"open-only, document class exists", kWindows7, with(wine, {{L"CLSID\\" + doc, L"Theirs"}}),
         {{L".chm\\PersistentHandler", handler}, {L"CLSID\\" + doc + L"\\PersistentHandler", handler}},
         // Left with no subkeys, the class goes, with or without a description.
         wine},
        // The displaced handler is noted beside the link; its class is gone, so
        // there is nothing to give the extension back to.
        {"open-only, another handler on .chm", kWindows7,
         with(wine, {{L".chm\\PersistentHandler", other}}),
         {{L".chm\\PersistentHandler", handler}, {L".chm\\PersistentHandler|" + previous, other}}, wine},
        // Another product's handler, still installed, gets the extension back.
        {"open-only, another product's handler on .chm", kWindows7, with(wine, otherProduct),
         {{L".chm\\PersistentHandler", handler}, {L".chm\\PersistentHandler|" + previous, other}},
         with(wine, otherProduct)},
        {"open-only, empty ProgID on .chm names nothing", kWindows7, {{L"CLSID", kNone}, {L".chm", L""}},
         {{L".chm\\PersistentHandler", handler}}, {{L"CLSID", kNone}, {L".chm", L""}}},
        {"older system, empty tree", kNt4, {{L"CLSID", kNone}},
         {{L".chm", L"chm.file"},
          {L".chm\\PersistentHandler", handler},
          {L"chm.file", L"Compiled HTML Help file"},
          {L"chm.file\\CLSID", doc},
          {L"CLSID\\" + doc, L"Compiled HTML Help file"},
          {L"CLSID\\" + doc + L"\\PersistentHandler", handler}},
         // The cascade clears .chm's ProgID; the key itself still held our link then.
         {{L"CLSID", kNone}, {L".chm", kNone}}},
        {"older system, Wine's prefix", kNt4, wine,
         {{L".chm\\PersistentHandler", handler},
          {L"chm.file\\CLSID", doc},
          {L"CLSID\\" + doc, L"Compiled HTML Help file"},
          {L"CLSID\\" + doc + L"\\PersistentHandler", handler}},
         wine},
        {"older system, .chm without ProgID and a foreign ProgID class", kNt4,
         {{L"CLSID", kNone}, {L".chm|Content Type", L"application/x-chm"}, {L"chm.file", kNone},
          {L"chm.file\\CLSID", other}, {L"chm.file\\shell", kNone}},
         {{L".chm", L"chm.file"},
          {L".chm\\PersistentHandler", handler},
          {L"CLSID\\" + doc, L"Compiled HTML Help file"},
          {L"CLSID\\" + doc + L"\\PersistentHandler", handler},
          // A class created for an override is not described.
          {L"CLSID\\" + other, kNone},
          {L"CLSID\\" + other + L"\\PersistentHandler", handler}},
         // chm.file keeps a subkey, so .chm keeps naming it.
         {{L"CLSID", kNone}, {L".chm", L"chm.file"}, {L".chm|Content Type", L"application/x-chm"},
          {L"chm.file", kNone}, {L"chm.file\\shell", kNone}}},
    };
}

TEST_F(RegistrationRows, ScenariosRegisterTwiceAndUnregister)
{
    for (const auto& s : Scenarios()) {
        SCOPED_TRACE(s.name);
        ScratchRegistry registry;  // a fresh tree per row
        Seed(s.seed);
        ASSERT_EQ(S_OK, Register(s.query));
        const Entries once = Classes();
        EXPECT_EQ(Merge(Merge(s.seed, OwnKeys(LoadedModule::ThisProgram())), s.added), once);

        ASSERT_EQ(S_OK, Register(s.query));
        EXPECT_EQ(once, Classes()) << "registering twice differs from once";

        EXPECT_EQ(S_OK, UnregisterFilter());
        EXPECT_EQ(s.afterUnregister, Classes());
        EXPECT_EQ(S_FALSE, UnregisterFilter()) << "nothing left to remove";
        EXPECT_EQ(s.afterUnregister, Classes());
    }
}

TEST_F(RegistrationRows, WrongTypeOfDocumentTypeValueFails)
{
    struct Case {
        const char* name;
        VersionQuery query;
        const wchar_t* dwordAt;
        Entries seed;
    };
    const Case cases[] = {
        {"extension's ProgID, open-only", kWindows7, L".chm", {}},
        {"extension's ProgID, older system", kNt4, L".chm", {}},
        {"ProgID's class, open-only", kWindows7, L"chm.file\\CLSID", {{L".chm", L"chm.file"}}},
        {"ProgID's class, older system", kNt4, L"chm.file\\CLSID", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchRegistry registry;
        Seed(c.seed);
        SetDword(c.dwordAt, 1);
        EXPECT_EQ(SELFREG_E_CLASS, Register(c.query));
    }
    ScratchRegistry registry;
    SetDword(L".chm", 1);
    EXPECT_EQ(E_FAIL, RegisterExtensionHandler(kDocumentTypes[0], kPersistentHandler.handlerClass, true, true));
}

TEST_F(Registration, ModuleWithoutPathFailsClearly)
{
    EXPECT_EQ(ERROR_MOD_NOT_FOUND, RegisterServer(kServer, nullptr));
    EXPECT_EQ(SELFREG_E_CLASS, RegisterFilter(nullptr, kWindows7));
    const Entries tree = Classes();
    EXPECT_EQ(0u, tree.count(std::wstring(L"CLSID\\") + kFilter)) << "no server without its path";
}

TEST_F(Registration, UnregisterAfterPartialRegistration)
{
    const std::wstring handler = std::wstring(L"CLSID\\") + kHandler;
    const std::wstring filter = std::wstring(L"CLSID\\") + kFilter;
    const std::wstring other = L"CLSID\\{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}";
    Seed({{handler, L"Morvanex CHM filter Persistent Handler"},
          {filter, L"Morvanex CHM filter"},
          {filter + L"\\InprocServer32", LoadedModule::ThisProgram()},
          {L".chm", L"chm.file"},
          {L".chm\\PersistentHandler", kHandler},
          {other + L"\\PersistentHandler", kHandler},
          {other + L"\\Implemented Categories", kNone}});

    EXPECT_EQ(S_FALSE, UnregisterFilter()) << "the handler's add-in chain was missing";
    // Without its chain the handler's own key stays; the scan, the server and
    // the extension link are still done.
    EXPECT_EQ((Entries{{L"CLSID", kNone},
                       {handler, L"Morvanex CHM filter Persistent Handler"},
                       {L".chm", L"chm.file"},
                       {other, kNone},
                       {other + L"\\Implemented Categories", kNone}}),
              Classes());
}

TEST_F(Registration, UnregisterTakesHandlerOutOfOthersClasses)
{
    const std::wstring kept = L"CLSID\\{11111111-0000-0000-0000-000000000001}";
    const std::wstring emptied = L"CLSID\\{11111111-0000-0000-0000-000000000002}";
    const std::wstring lower = L"CLSID\\{11111111-0000-0000-0000-000000000003}";
    const std::wstring foreign = L"CLSID\\{11111111-0000-0000-0000-000000000004}";
    std::wstring lowerHandler = kHandler;
    CharLowerW(&lowerHandler[0]);
    Seed({
        // Keeps other subkeys: only our handler goes.
        {kept, L"Kept document"},
        {kept + L"\\PersistentHandler", kHandler},
        {kept + L"\\DefaultIcon", L"kept.dll,0"},
        // Nothing left after our handler: the class, its ProgIDs' links and an
        // extension with nothing else in it go.
        {emptied, L"Emptied document"},
        {emptied + L"\\PersistentHandler", kHandler},
        {L"emptied.file\\CLSID", L"{11111111-0000-0000-0000-000000000002}"},
        {L".emp", L"emptied.file"},
        {L".emp2", L"emptied.file"},
        {L".emp2|Content Type", L"application/x-emp"},
        {L"busy.file\\CLSID", L"{11111111-0000-0000-0000-000000000002}"},
        {L"busy.file\\shell", kNone},
        // Class ids compare without regard to case.
        {lower + L"\\PersistentHandler", lowerHandler},
        // Another handler's class and extension link stay.
        {foreign + L"\\PersistentHandler", L"{22222222-0000-0000-0000-000000000000}"},
        {L".chm\\PersistentHandler", L"{22222222-0000-0000-0000-000000000000}"},
        // A note of ours from an earlier registration goes with us.
        {std::wstring(L".chm\\PersistentHandler|") + kPreviousHandlerValue, L"{33333333-0000-0000-0000-000000000000}"},
    });
    UnregisterFilter();
    EXPECT_EQ((Entries{
                  {L"CLSID", kNone},
                  {kept, L"Kept document"},
                  {kept + L"\\DefaultIcon", L"kept.dll,0"},
                  {L".emp2", kNone},
                  {L".emp2|Content Type", L"application/x-emp"},
                  {L"busy.file", kNone},
                  {L"busy.file\\shell", kNone},
                  {foreign, kNone},
                  {foreign + L"\\PersistentHandler", L"{22222222-0000-0000-0000-000000000000}"},
                  {L".chm", kNone},
                  {L".chm\\PersistentHandler", L"{22222222-0000-0000-0000-000000000000}"},
              }),
              Classes());
}

TEST_F(Registration, KeyChains)
{
    const KeyChainLink chain[] = {{L"{A}", L"a"}, {L"B", nullptr}, {L"C", L"c"}};
    ASSERT_EQ(ERROR_SUCCESS, CreateKeyChain(chain, 3));
    EXPECT_EQ((Entries{{L"CLSID", kNone}, {L"CLSID\\{A}", L"a"}, {L"CLSID\\{A}\\B", kNone},
                       {L"CLSID\\{A}\\B\\C", L"c"}}),
              Classes());

    // A key with other subkeys stops the walk upward and stays.
    Seed({{L"CLSID\\{A}\\Other", kNone}});
    EXPECT_NE(ERROR_SUCCESS, DeleteKeyChain(chain, 3));
    EXPECT_EQ((Entries{{L"CLSID", kNone}, {L"CLSID\\{A}", L"a"}, {L"CLSID\\{A}\\Other", kNone}}), Classes());

    // With its deepest key gone, nothing is deleted.
    Seed({{L"CLSID\\{A}\\B", kNone}});
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteKeyChain(chain, 3));
    EXPECT_EQ(1u, Classes().count(L"CLSID\\{A}\\B"));

    // A chain too long for a key path fails instead of writing a cut path.
    const std::wstring longName(250, L'n');
    const KeyChainLink tooLong[] = {{longName.c_str(), nullptr}, {L"InprocServer32", L"x"}};
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, CreateKeyChain(tooLong, 2));
    for (const auto& [path, value] : Classes())
        EXPECT_EQ(std::wstring::npos, path.find(L"\\Inproc")) << "cut path written: " << std::string(path.begin(), path.end());
}

TEST_F(Registration, ThreadingModelSetAndRemoved)
{
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, SetThreadingModel(L"{A}", L"Both"));
    Seed({{L"CLSID\\{A}\\InprocServer32", L"x.dll"}});
    ASSERT_EQ(ERROR_SUCCESS, SetThreadingModel(L"{A}", L"Both"));
    EXPECT_EQ(L"Both", Classes()[L"CLSID\\{A}\\InprocServer32|ThreadingModel"]);
    ASSERT_EQ(ERROR_SUCCESS, SetThreadingModel(L"{A}", nullptr));
    ASSERT_EQ(ERROR_SUCCESS, SetThreadingModel(L"{A}", nullptr));
    EXPECT_EQ(0u, Classes().count(L"CLSID\\{A}\\InprocServer32|ThreadingModel"));
}

TEST_F(Registration, OverlongNamesAreRefusedNotCut)
{
    const DocumentTypeRow& row = kDocumentTypes[0];
    const std::wstring at260(260, L'p');
    // The longest key name there is, but too long with "\CLSID" after it.
    const std::wstring at255(255, L'p');
    const std::wstring longClass(250, L'c');
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, RegisterProgIdHandler(row, kHandler, at260.c_str(), false));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, RegisterProgIdHandler(row, kHandler, at255.c_str(), false));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, RegisterClassPersistentHandler(row, kHandler, longClass.c_str(), false, true));
    const DocumentTypeRow longExtension = {at260.c_str(), row.progId, row.description, row.documentClass,
                                           row.classDescription};
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, RegisterExtensionHandler(longExtension, kHandler, false, true));
    for (const auto& [path, value] : Classes())
        EXPECT_EQ(std::wstring::npos, path.find(L"\\Persist")) << "cut path written";
}

}  // namespace
