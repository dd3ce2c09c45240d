#pragma once
#include <windows.h>

// Module-wide state of the test page filter DLL that the tests read back.
namespace PageFilterModule {
// What a refused request leaves in its out slot, as some filters leave garbage
// there after a failure. Any call on it is counted: none may come.
void* Leftover();
LONG LeftoverCalls();
}  // namespace PageFilterModule
