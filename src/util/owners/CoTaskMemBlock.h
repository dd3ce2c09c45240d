#pragma once
#include <objbase.h>

#include "util/owners/UniqueOwner.h"

// A CoTaskMemAlloc block, freed with CoTaskMemFree.
template <typename T>
struct CoTaskMemFreePolicy {
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type p) { return p != nullptr; }
    static void Close(Type p) { CoTaskMemFree(p); }
};
template <typename T = BYTE>
using CoTaskMemBlock = UniqueOwner<CoTaskMemFreePolicy<T>>;
