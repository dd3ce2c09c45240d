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
        const bool wholeBefore = HeapWhole();
        auto result = call();
        if (wholeBefore && !HeapWhole())
            Report(what);
        return result;
    }

    static bool Enabled();

private:
    static bool HeapWhole();
    [[noreturn]] static void Report(const char* what);
};
