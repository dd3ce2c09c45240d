// DllRegisterServer and DllUnregisterServer of the reference page filter over a
// scratch registry tree.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/LoadedModule.h"
#include "support/RegistryTree.h"
#include "support/ScratchRegistry.h"

namespace {
using Entries = RegistryTree::Entries;
const wchar_t* const kNone = RegistryTree::kNoValue;
const std::wstring kHtmlFilter = L"{B7AE2FAD-D78E-4147-A86F-9C6B18457EF5}";
const std::wstring kTextFilter = L"{02C11C08-399A-4FBF-80CB-64DCF173A986}";
const std::wstring kHtmlHandler = L"{9A9C05F7-A02C-4646-A978-A694EF107886}";
const std::wstring kTextHandler = L"{E483B812-77A8-466F-9792-FF1E75AAE5E2}";
const std::wstring kAddin = L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";
}

TEST(PageFilterRegistration, WritesTheStandardRegistrationAndRemovesOnlyItsOwn)
{
    LoadedModule module(LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll"));
    ASSERT_TRUE(module);
    using ExportFn = HRESULT(WINAPI*)();
    auto registerServer = module.Export<ExportFn>("DllRegisterServer");
    auto unregisterServer = module.Export<ExportFn>("DllUnregisterServer");
    const std::wstring dll = LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll");

    ScratchRegistry scratch;
    // A foreign document type on .txt, and a content type, must survive.
    RegistryTree::Write(HKEY_CLASSES_ROOT, {{L".txt", L"txtfile"}, {L".txt|Content Type", L"text/plain"}});

    ASSERT_EQ(S_OK, registerServer());
    ASSERT_EQ(S_OK, registerServer());
    const Entries registered = RegistryTree::Read(HKEY_CLASSES_ROOT);
    const Entries want = {
        {L".htm", kNone},
        {L".htm\\PersistentHandler", kHtmlHandler},
        {L".html", kNone},
        {L".html\\PersistentHandler", kHtmlHandler},
        {L".txt", L"txtfile"},
        {L".txt|Content Type", L"text/plain"},
        {L".txt\\PersistentHandler", kTextHandler},
        {L"CLSID", kNone},
        {L"CLSID\\" + kHtmlFilter, L"Tavrinolex reference HTML filter"},
        {L"CLSID\\" + kHtmlFilter + L"\\InprocServer32", dll},
        {L"CLSID\\" + kHtmlFilter + L"\\InprocServer32|ThreadingModel", L"Both"},
        {L"CLSID\\" + kTextFilter, L"Tavrinolex reference plain text filter"},
        {L"CLSID\\" + kTextFilter + L"\\InprocServer32", dll},
        {L"CLSID\\" + kTextFilter + L"\\InprocServer32|ThreadingModel", L"Both"},
        {L"CLSID\\" + kHtmlHandler, L"Tavrinolex reference HTML persistent handler"},
        {L"CLSID\\" + kHtmlHandler + L"\\PersistentAddinsRegistered", kNone},
        {L"CLSID\\" + kHtmlHandler + kAddin, kHtmlFilter},
        {L"CLSID\\" + kTextHandler, L"Tavrinolex reference plain text persistent handler"},
        {L"CLSID\\" + kTextHandler + L"\\PersistentAddinsRegistered", kNone},
        {L"CLSID\\" + kTextHandler + kAddin, kTextFilter},
    };
    EXPECT_EQ(want, registered);

    // Another product takes .html over; unregistering leaves it its handler.
    RegistryTree::Write(HKEY_CLASSES_ROOT, {{L".html\\PersistentHandler", L"{00000000-0000-0000-0000-000000000001}"}});
    ASSERT_EQ(S_OK, unregisterServer());
    ASSERT_EQ(S_OK, unregisterServer());
    const Entries left = {
        {L".html", kNone},
        {L".html\\PersistentHandler", L"{00000000-0000-0000-0000-000000000001}"},
        {L".txt", L"txtfile"},
        {L".txt|Content Type", L"text/plain"},
        {L"CLSID", kNone},
    };
    EXPECT_EQ(left, RegistryTree::Read(HKEY_CLASSES_ROOT));
}
