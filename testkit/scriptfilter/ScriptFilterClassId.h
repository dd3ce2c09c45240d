#pragma once
#include <windows.h>

// The class of the scriptable test page filter, and the test-only exports of
// ScriptPageFilter.dll.
namespace ScriptFilter {
// {5C8E2A41-7D3B-4F69-A1E0-93B4C6D2F815}
constexpr CLSID ClassId = {0x5C8E2A41, 0x7D3B, 0x4F69, {0xA1, 0xE0, 0x93, 0xB4, 0xC6, 0xD2, 0xF8, 0x15}};
constexpr wchar_t ClassIdString[] = L"{5C8E2A41-7D3B-4F69-A1E0-93B4C6D2F815}";

// The exception code of a C++ throw in code built with the platform's own
// compiler, which is what a page filter raises when it throws.
constexpr DWORD kCppExceptionCode = 0xE06D7363;

// Pages loaded by IPersistFile::Load since the DLL was loaded.
using LoadsFn = LONG(WINAPI*)();
// Filter objects, class objects and server locks alive.
using LiveObjectsFn = LONG(WINAPI*)();
// What the last Init received: flags, attribute count, and the name of the first
// attribute when it is given by name (empty otherwise).
using LastInitFn = void(WINAPI*)(ULONG* flags, ULONG* count, wchar_t* firstName, ULONG capacity);
// Plans an access violation in the nth call (1 the next) of one kind from now
// on: "classobject" (DllGetClassObject), "constructor" (the filter object's, so
// inside the factory's CreateInstance), "queryinterface", "load", "initialize" (IInitializeWithStream), "release"
// (the filter object's). A null call or 0 cancels the plan.
using PlanFaultFn = void(WINAPI*)(const char* call, LONG nth);
// Calls into the DLL from outside since it was loaded: DllGetClassObject and
// every method of the filter objects (not DllCanUnloadNow, which COM calls).
using CallsFn = LONG(WINAPI*)();
}  // namespace ScriptFilter
