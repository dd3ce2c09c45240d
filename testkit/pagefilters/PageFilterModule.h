#pragma once
#include <windows.h>

// Module-wide state of the test page filter DLL: its live-object count, which
// also decides DllCanUnloadNow, and what the tests read back.
namespace PageFilterModule {
void ObjectCreated();
void ObjectDestroyed();
LONG LiveObjects();
}  // namespace PageFilterModule
