#include "ClassObject.h"

GetClassObjectFn ClassObjectExport(HMODULE module)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
}

HRESULT ClassFactory(GetClassObjectFn getClassObject, REFCLSID clsid, ComPtr<IClassFactory>& factory)
{
    if (!getClassObject) {
        factory.reset();
        return E_POINTER;
    }
    return factory.receive([&](IClassFactory** out) {
        return getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(out));
    });
}

HRESULT CreateThroughClassObject(GetClassObjectFn getClassObject, REFCLSID clsid, REFIID iid, void** object)
{
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    const HRESULT hr = ClassFactory(getClassObject, clsid, factory);
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, iid, object);
}
