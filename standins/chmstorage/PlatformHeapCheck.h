#pragma once
#include <windows.h>

// Tells heap damage done by Wine's itss.dll apart from damage done by its
// callers. Off unless the process names a report file in the environment
// variable "TAVRINOLEX_STANDIN_HEAP_REPORT" (the fuzzer's worker does). When on,
// every call into Wine's component is made between two validations of the
// process heap: a heap that was whole before the call and is damaged after it
// was damaged by the component. The name of the call then goes to the report
// file and the process ends at once, before the damage can surface in a caller.
class PlatformHeapCheck {
public:
    template <typename Call>
    static auto Around(const char* what, Call call) -> decltype(call())
    {
        if (!Enabled())
            return call();
        Enter(kBefore, what);
        const bool wholeBefore = HeapWhole();
        Enter(kInside, what);
        auto result = call();
        Enter(kAfter, what);
        if (wholeBefore && !HeapWhole())
            Report(what);
        Enter(nullptr, nullptr);
        return result;
    }

    // Releases the component's objects, each one through the checks.
    template <typename... Pointers>
    static void Release(const char* what, Pointers&... pointers)
    {
        Around(what, [&] {
            (pointers.reset(), ...);
            return 0;
        });
    }

    static bool Enabled();

    // Where the checking thread stands, for a watchdog that finds it stuck: a
    // validation of a heap that the component damaged may never end. Both are
    // null or literal texts; reading them takes no lock.
    static void Where(const char** phase, const char** call);

    static constexpr const char* kBefore = "checking the heap before itss.dll's";
    static constexpr const char* kInside = "inside itss.dll's";
    static constexpr const char* kAfter = "checking the heap after itss.dll's";

private:
    static void Enter(const char* phase, const char* call);
    static bool HeapWhole();
    [[noreturn]] static void Report(const char* what);
};
