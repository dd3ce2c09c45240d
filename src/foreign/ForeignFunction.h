#pragma once
#include <windows.h>

#include <type_traits>

#include "foreign/ForeignCall.h"
#include "foreign/ForeignFaults.h"

// A function exported by another vendor's DLL (a class object's
// DllGetClassObject, the indexing library's LoadIFilter), called the way
// ForeignPtr calls an object: every call guarded, none after its DLL faulted.
// blame is the DLL put in the process's record when a call faults; null when
// the caller knows better whose code ran (LoadIFilter runs the page filter's).
template <typename Fn>
class ForeignFunction {
public:
    ForeignFunction(Fn function, HMODULE blame) : m_function(function), m_blame(blame) {}

    explicit operator bool() const { return m_function != nullptr; }

    // Runs fn(function) guarded, as
    //   getClassObject.call([&](auto* f) { hr = f(clsid, IID_IClassFactory, &out); });
    // False when it faulted, or when the blamed DLL had faulted already.
    template <typename Invoke>
    bool call(Invoke&& fn) const
    {
        static_assert(std::is_trivially_destructible<typename std::remove_reference<Invoke>::type>::value,
                      "a guarded call may be abandoned without unwinding: capture by reference or plain values only");
        if (!m_function || ForeignFaults::Process().Contains(m_blame))
            return false;
        const Fn function = m_function;
        if (CallForeign([&fn, function] { fn(function); }))
            return true;
        if (m_blame)
            ForeignFaults::Process().Add(m_blame, nullptr);
        return false;
    }

private:
    Fn m_function;
    HMODULE m_blame;
};
