#pragma once
#include <oleauto.h>

#include "util/owners/UniqueOwner.h"

// A BSTR, freed with SysFreeString.
struct BStrPolicy {
    using Type = BSTR;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type s) { return s != nullptr; }
    static void Close(Type s) { SysFreeString(s); }
};
using BStr = UniqueOwner<BStrPolicy>;
