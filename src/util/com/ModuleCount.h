#pragma once
#include <windows.h>

// Live class factories, filter objects and server locks, together. The module
// may be unloaded while it is 0 or less.
extern volatile LONG g_moduleCount;

inline void ModuleAddRef() { InterlockedIncrement(&g_moduleCount); }
inline void ModuleRelease() { InterlockedDecrement(&g_moduleCount); }

// One count in g_moduleCount for as long as it lives. As the first member of a
// factory or filter object it counts the object from the start of its
// construction to the end of its destruction, and gives the count back when a
// later member's construction throws.
class ModuleLock {
public:
    ModuleLock() { ModuleAddRef(); }
    ~ModuleLock() { ModuleRelease(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};
