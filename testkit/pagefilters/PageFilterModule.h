#pragma once
#include <windows.h>

// Module-wide state of the test page filter DLL: its live-object count, which
// also decides DllCanUnloadNow, and what the tests read back.
namespace PageFilterModule {
void ObjectCreated();
void ObjectDestroyed();
LONG LiveObjects();
// What a refused request leaves in its out slot, as some filters leave garbage
// there after a failure. Any call on it is counted: none may come.
void* Leftover();
LONG LeftoverCalls();
}  // namespace PageFilterModule
