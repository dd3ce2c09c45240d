#pragma once
#include <windows.h>
#include <filter.h>

// Module-wide state of ScriptPageFilter.dll: live objects (which decide
// DllCanUnloadNow) and what the tests read back through its exports.
namespace ScriptFilterModule {
void ObjectCreated();
void ObjectDestroyed();
void PageLoaded();
void RecordInit(ULONG flags, ULONG count, const FULLPROPSPEC* attributes);
// Counts a call into the DLL, and faults (an access violation, as a filter
// reading through a bad pointer does) where the plan says so.
void Entered(const char* call);
}  // namespace ScriptFilterModule
