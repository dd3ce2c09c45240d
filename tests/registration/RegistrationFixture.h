#pragma once
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>

#include "support/RegistryTree.h"
#include "support/ScratchRegistry.h"

// The keys the registration writes spelled out, for comparisons of the whole
// HKEY_CLASSES_ROOT of a scratch tree.
class RegistrationTest : public ::testing::Test {
protected:
    using Entries = RegistryTree::Entries;
    static constexpr const wchar_t* kNone = RegistryTree::kNoValue;

    static constexpr const wchar_t* kHandler = L"{3C8F2A17-D4B9-4E06-8A3B-91F7C2E5D048}";
    static constexpr const wchar_t* kFilter = L"{7A3E19C4-2B6D-4F81-9C0A-5E2D8B4F1A63}";
    static constexpr const wchar_t* kDocClass = L"{B5E07D92-6A1C-4F3D-B2E8-0C49A7F318D5}";

    static Entries Classes() { return RegistryTree::Read(HKEY_CLASSES_ROOT); }
    static void Seed(const Entries& entries) { RegistryTree::Write(HKEY_CLASSES_ROOT, entries); }

    // What every successful registration writes, for a module at `modulePath`.
    static Entries OwnKeys(const std::wstring& modulePath)
    {
        const std::wstring handler = std::wstring(L"CLSID\\") + kHandler;
        const std::wstring filter = std::wstring(L"CLSID\\") + kFilter;
        return {
            {L"CLSID", kNone},
            {handler, L"Morvanex CHM filter Persistent Handler"},
            {handler + L"\\PersistentAddinsRegistered", kNone},
            {handler + L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}", kFilter},
            {filter, L"Morvanex CHM filter"},
            {filter + L"\\InprocServer32", modulePath},
            {filter + L"\\InprocServer32|ThreadingModel", L"Both"},
        };
    }

    static Entries Merge(Entries base, const Entries& more)
    {
        for (const auto& [k, v] : more)
            base[k] = v;
        return base;
    }
};

// Tests over one scratch tree for the whole test.
class RegistrationOnScratch : public RegistrationTest {
protected:
    ScratchRegistry m_registry;
};
