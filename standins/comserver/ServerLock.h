#pragma once
#include <windows.h>

// Live objects, class objects and locks of one COM server DLL; the DLL may
// unload when none is left. Each DLL built with this header has its own count.
class ServerLock {
public:
    static void Increment() { InterlockedIncrement(&s_count); }
    static void Decrement() { InterlockedDecrement(&s_count); }
    static LONG Count() { return s_count; }
    // The answer of DllCanUnloadNow.
    static HRESULT CanUnloadNow() { return s_count == 0 ? S_OK : S_FALSE; }

private:
    static inline volatile LONG s_count = 0;
};
