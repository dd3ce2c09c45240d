#pragma once
#include <windows.h>

#include "util/owners/UniqueOwner.h"

// One LoadLibrary reference, dropped with FreeLibrary.
struct LibraryPolicy {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type module) { return module != nullptr; }
    static void Close(Type module) { FreeLibrary(module); }
};
using LibraryHandle = UniqueOwner<LibraryPolicy>;
