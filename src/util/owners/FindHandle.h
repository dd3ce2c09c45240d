#pragma once
#include <windows.h>

#include "util/owners/UniqueOwner.h"

// A FindFirstFile search handle.
struct FindHandlePolicy {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
using FindHandle = UniqueOwner<FindHandlePolicy>;
