#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <gtest/gtest.h>

#include "support/ClassObject.h"
#include "support/LoadedModule.h"
#include "util/com/FilterClassId.h"
#include "util/owners/ComPtr.h"

// Loads the built DLL the way a search host does and reaches its exports.
class HostHarness : public ::testing::Test {
protected:
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

    void SetUp() override
    {
        ASSERT_TRUE(m_dll) << "Tavrinolex.dll did not load";
        getClassObject = ClassObjectExport(m_dll.get());
        canUnloadNow = m_dll.Export<CanUnloadNowFn>("DllCanUnloadNow");
        ASSERT_NE(nullptr, getClassObject);
        ASSERT_NE(nullptr, canUnloadNow);
        ASSERT_EQ(S_OK, canUnloadNow()) << "module count must start at 0";
    }

    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, ClassFactory(getClassObject, CLSID_TavrinolexFilter, factory));
        return factory;
    }

    ComPtr<IFilter> NewFilter()
    {
        ComPtr<IFilter> filter;
        EXPECT_EQ(S_OK, CreateThroughClassObject(getClassObject, CLSID_TavrinolexFilter, filter));
        return filter;
    }

    ComApartment m_com;
    LoadedModule m_dll{LoadedModule::BesideTestProgram(L"Tavrinolex.dll")};
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};
