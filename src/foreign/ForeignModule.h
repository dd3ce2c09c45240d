#pragma once
#include <objbase.h>

#include "foreign/ForeignFaults.h"
#include "util/owners/UniqueOwner.h"

// One reference on another vendor's DLL (a page filter's), given back with
// CoFreeLibrary when its page is done. Whoever fills it must have taken that
// reference (CoLoadLibrary, LoadLibrary, GetModuleHandleEx): freeing a
// reference nobody took can unload a DLL that the host or another page still
// uses. Once the DLL has faulted in a call of ours, its abandoned objects may
// still be alive and run its code, so the reference is kept for good: it stays
// loaded for the life of the process.
struct ForeignModulePolicy {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type module) { return module != nullptr; }
    static void Close(Type module)
    {
        if (!ForeignFaults::Process().Contains(module))
            CoFreeLibrary(module);
    }
};
using ForeignModule = UniqueOwner<ForeignModulePolicy>;
