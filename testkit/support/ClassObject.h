#pragma once
#include <windows.h>
#include <objbase.h>

#include "util/owners/ComPtr.h"

// How a host reaches a class of a DLL it loaded itself, without the registry:
// the DLL's DllGetClassObject, the class factory it gives, then CreateInstance.

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The module's DllGetClassObject, or null where it exports none.
GetClassObjectFn ClassObjectExport(HMODULE module);

HRESULT ClassFactory(GetClassObjectFn getClassObject, REFCLSID clsid, ComPtr<IClassFactory>& factory);

// A new object of the class through its factory; a failure is the first step's.
HRESULT CreateThroughClassObject(GetClassObjectFn getClassObject, REFCLSID clsid, REFIID iid, void** object);

template <typename I>
HRESULT CreateThroughClassObject(GetClassObjectFn getClassObject, REFCLSID clsid, ComPtr<I>& object)
{
    return object.receive([&](I** out) {
        return CreateThroughClassObject(getClassObject, clsid, __uuidof(I), reinterpret_cast<void**>(out));
    });
}
