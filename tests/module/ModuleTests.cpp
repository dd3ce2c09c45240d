#include "support/HostHarness.h"

namespace {

using Module = HostHarness;

const GUID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

TEST_F(Module, ExportsAreUndecorated)
{
    EXPECT_EQ(nullptr, GetProcAddress(m_dll.get(), "DllGetClassObject@12"));
}

TEST_F(Module, OtherClassIsNotAvailableAndCountsNothing)
{
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(kOtherClass, IID_IClassFactory, &out));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(kOtherClass, kOtherClass, &out));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Module, FactoryForClassFactoryAndUnknown)
{
    for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
        IUnknown* factory = nullptr;
        ASSERT_EQ(S_OK, getClassObject(CLSID_TavrinolexFilter, *iid, reinterpret_cast<void**>(&factory)));
        ASSERT_NE(nullptr, factory);
        EXPECT_EQ(S_FALSE, canUnloadNow());
        EXPECT_EQ(0u, factory->Release());
        EXPECT_EQ(S_OK, canUnloadNow());
    }
}

TEST_F(Module, FactoryForOtherInterfaceIsUnexpected)
{
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_UNEXPECTED, getClassObject(CLSID_TavrinolexFilter, __uuidof(IFilter), &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Module, FactoryQueryInterface)
{
    auto factory = Factory();
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, unknown.put_void()));
    EXPECT_EQ(static_cast<IUnknown*>(factory.get()), unknown.get());
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(__uuidof(IFilter), &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(Module, LockServerHoldsModule)
{
    auto factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    {
        auto other = Factory();
        EXPECT_EQ(S_OK, other->LockServer(FALSE));
    }
    EXPECT_EQ(S_OK, canUnloadNow());

    // An unlock nobody locked is not refused; the count then stands below 0,
    // which still lets the module go.
    EXPECT_EQ(S_OK, Factory()->LockServer(FALSE));
    EXPECT_EQ(S_OK, canUnloadNow());
    EXPECT_EQ(S_OK, Factory()->LockServer(TRUE));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Module, CountSpansFactoriesObjectsAndLocks)
{
    auto first = Factory();
    auto second = Factory();
    ComPtr<IFilter> filter;
    ASSERT_EQ(S_OK, first->CreateInstance(nullptr, __uuidof(IFilter), filter.put_void()));
    ASSERT_EQ(S_OK, second->LockServer(TRUE));

    first.reset();
    second.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "object and lock still alive";
    filter.reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "lock still held";
    ASSERT_EQ(S_OK, Factory()->LockServer(FALSE));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Module, CreateInstanceRefusals)
{
    auto factory = Factory();
    ComPtr<IUnknown> outer;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, outer.put_void()));

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);

    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_UNEXPECTED, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    outer.reset();
    factory.reset();
    EXPECT_EQ(S_OK, canUnloadNow()) << "a refused object must not stay counted";
}

TEST_F(Module, CreateInstanceForEachInterface)
{
    auto factory = Factory();
    for (const IID* iid : {&__uuidof(IFilter), &IID_IPersistFile, &IID_IPersist, &IID_IUnknown}) {
        IUnknown* object = nullptr;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, *iid, reinterpret_cast<void**>(&object)));
        EXPECT_EQ(0u, object->Release());
    }
    factory.reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Module, CarriesVersionResource)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(m_dll.get(), path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_NE(0u, size);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_NE(0u, fixed->dwFileVersionMS);
    EXPECT_NE(0u, fixed->dwProductVersionMS);
    wchar_t* description = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
#ifdef _WIN64
    EXPECT_STREQ(L"Morvanex CHM filter (64-bit)", description);
#else
    EXPECT_STREQ(L"Morvanex CHM filter", description);
#endif
}

}  // namespace
