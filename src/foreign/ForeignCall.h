#pragma once
#include <windows.h>

#include <type_traits>

// Runs one call into another vendor's DLL (a page filter, its class object, its
// DllMain as it loads, the indexing library's LoadIFilter: code often built
// with another compiler) so that an exception raised inside it cannot cross
// into the host: the platform's exception is caught where the call was made,
// the frames in between are unwound by the system, and the call reports false.
// Our own C++ exceptions never reach it; they are caught at each COM boundary
// as usual.
//
// The lambda is abandoned, not unwound, when the foreign code raises: it must
// own nothing that needs destroying (the compiler checks it), and it wraps
// exactly the raw call, nothing of ours. ForeignPtr, ForeignFunction and
// ForeignModule hold the rule that goes with it: after a fault, that DLL is
// never called again.
extern "C" int TvxCallGuarded(void (*call)(void* context), void* context);

template <typename Call>
bool CallForeign(Call&& call)
{
    using Target = typename std::remove_reference<Call>::type;
    static_assert(std::is_trivially_destructible<Target>::value,
                  "a guarded call may be abandoned without unwinding: capture by reference or plain values only");
    return TvxCallGuarded([](void* context) { (*static_cast<Target*>(context))(); }, &call) == 0;
}
