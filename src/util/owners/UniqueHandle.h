#pragma once
#include <windows.h>

#include "util/owners/UniqueOwner.h"

// A kernel handle (file, mutex, event, ...). Both null and INVALID_HANDLE_VALUE
// mean "nothing held", since CreateFile and CreateMutex report failure differently.
struct KernelHandlePolicy {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
using UniqueHandle = UniqueOwner<KernelHandlePolicy>;
