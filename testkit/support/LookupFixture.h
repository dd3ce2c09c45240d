#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "environment/CDLLsInformation.h"
#include "pagefilters/PageFilterClassIds.h"
#include "registry/CIFilterRegistryHelperBase.h"
#include "registry/FilterLookupRecord.h"
#include "support/FilterDllCopy.h"
#include "support/LoadedModule.h"
#include "support/Narrow.h"
#include "support/RegistryFixture.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"

// Registry fixtures for filter lookups, written into a scratch tree, with the
// test page filter DLLs as the registered filters.
namespace LookupFixture {

namespace Ids = PageFilterClassIds;

constexpr wchar_t kFilterInterface[] = L"{89BCB740-6119-101A-BCB7-00DD010655AF}";
constexpr wchar_t kHandler[] = L"{6F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}";
constexpr wchar_t kOtherHandler[] = L"{0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}";
constexpr wchar_t kDocumentClass[] = L"{3C2B1A09-8F7E-4D6C-9B5A-493827161504}";
constexpr wchar_t kOtherDocumentClass[] = L"{4D3C2B1A-9F8E-4E7D-8C6B-5A4938271605}";

inline std::wstring ClassKey(const std::wstring& clsid)
{
    return L"SOFTWARE\\Classes\\CLSID\\" + clsid;
}

// The filter class with its description and InprocServer32 value.
inline void RegisterFilterClass(const std::wstring& clsid, const std::wstring& dllPath, DWORD type = REG_SZ)
{
    SetRegistryString(HKEY_LOCAL_MACHINE, ClassKey(clsid).c_str(), nullptr, (L"Filter " + clsid).c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, (ClassKey(clsid) + L"\\InprocServer32").c_str(), nullptr, dllPath.c_str(),
                      type);
}

// The persistent handler naming the filter class as its IFilter add-in.
inline void RegisterHandler(const std::wstring& handler, const std::wstring& filterClsid)
{
    SetRegistryString(HKEY_LOCAL_MACHINE,
                      (ClassKey(handler) + L"\\PersistentAddinsRegistered\\" + kFilterInterface).c_str(), nullptr,
                      filterClsid.c_str());
}

// ".ext\PersistentHandler".
inline void LinkExtensionHandler(const std::wstring& extension, const std::wstring& handler)
{
    SetRegistryString(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\." + extension + L"\\PersistentHandler").c_str(),
                      nullptr, handler.c_str());
}

// ".ext" → document type → its class → the class's PersistentHandler.
inline void LinkDocumentType(const std::wstring& extension, const std::wstring& handler,
                             const std::wstring& documentClass = kDocumentClass)
{
    const std::wstring type = L"TavrinolexTest." + extension;
    SetRegistryString(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\." + extension).c_str(), nullptr, type.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + type + L"\\CLSID").c_str(), nullptr,
                      documentClass.c_str());
    SetRegistryString(HKEY_LOCAL_MACHINE, (ClassKey(documentClass) + L"\\PersistentHandler").c_str(), nullptr,
                      handler.c_str());
}

// One lookup as the filter makes it: a fresh record, probing through a cache
// with signature checks off.
inline BOOL Lookup(CIFilterRegistryHelperBase& helper, const wchar_t* extension, FilterLookupRecord& record)
{
    CDLLsInformation dlls;
    dlls.verifyTrust = FALSE;
    record.Initialise();
    record.dllsInformation = &dlls;
    const BOOL found = helper.FindFilter(extension, record);
    record.dllsInformation = nullptr;
    return found;
}

inline bool SamePath(const std::wstring& a, const wchar_t* b)
{
    return lstrcmpiW(a.c_str(), b) == 0;
}

// Scratch registry and folder, COM for the probe, and a copy of the test
// page filters registered for all four classes.
class Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dll = std::make_unique<FilterDllCopy>(m_folder, L"filters\\Page.dll");
        for (const wchar_t* clsid : {Ids::AllPersistString, Ids::StreamOnlyString, Ids::NoPersistString,
                                     Ids::FailingFactoryString})
            RegisterFilterClass(clsid, m_dll->Path());
    }
    void TearDown() override { m_dll.reset(); }

    ComApartment m_com;
    ScratchRegistry m_registry;
    ScratchFolder m_folder;
    std::unique_ptr<FilterDllCopy> m_dll;
};

}  // namespace LookupFixture
