#pragma once
#include <windows.h>

#include "util/owners/UniqueOwner.h"

// A LocalAlloc block, freed with LocalFree.
template <typename T>
struct LocalFreePolicy {
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type p) { return p != nullptr; }
    static void Close(Type p) { LocalFree(p); }
};
template <typename T = BYTE>
using LocalBlock = UniqueOwner<LocalFreePolicy<T>>;
