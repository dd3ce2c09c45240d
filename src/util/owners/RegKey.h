#pragma once
#include <windows.h>

#include "util/owners/UniqueOwner.h"

// An open registry key. Predefined root keys are never closed.
struct RegKeyPolicy {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type key) { return key != nullptr; }
    static void Close(Type key);
};
using RegKey = UniqueOwner<RegKeyPolicy>;
