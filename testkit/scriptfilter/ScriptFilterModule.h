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
}  // namespace ScriptFilterModule
