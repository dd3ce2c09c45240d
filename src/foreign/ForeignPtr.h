#pragma once
#include <unknwn.h>

#include <type_traits>

#include "foreign/ForeignCall.h"
#include "foreign/ForeignFaults.h"

// One reference on an object of another vendor's DLL. Every call into the
// object goes through the guard, AddRef and Release included, and the raw
// pointer is never handed out. After a fault in any call into its DLL (the
// process's record says which DLLs faulted) the object is abandoned: never
// called again, not even released, and its DLL stays loaded.
template <typename T>
class ForeignPtr {
public:
    ForeignPtr() = default;
    // Takes over a reference already held on an object of module's DLL.
    ForeignPtr(T* object, HMODULE module) : m_p(object), m_module(module) {}
    ForeignPtr(ForeignPtr&& other) noexcept { swap(other); }
    ForeignPtr& operator=(ForeignPtr&& other) noexcept
    {
        if (this != &other) {
            ForeignPtr gone(std::move(*this));
            swap(other);
        }
        return *this;
    }
    ForeignPtr(const ForeignPtr&) = delete;
    ForeignPtr& operator=(const ForeignPtr&) = delete;
    ~ForeignPtr() { reset(); }

    // An object whose DLL has faulted is as good as none.
    explicit operator bool() const { return m_p != nullptr && !faulted(); }
    HMODULE module() const { return m_module; }
    // Whether the object's DLL has faulted since the object was made.
    bool faulted() const { return ForeignFaults::Process().Contains(m_module); }

    // Runs fn(object) guarded, as
    //   filter.call([&](IFilter* f) { hr = f->GetChunk(stat); });
    // False, with the object abandoned and its DLL in the record, when it
    // faulted or its DLL had faulted.
    template <typename Fn>
    bool call(Fn&& fn)
    {
        static_assert(std::is_trivially_destructible<typename std::remove_reference<Fn>::type>::value,
                      "a guarded call may be abandoned without unwinding: capture by reference or plain values only");
        if (!m_p)
            return false;
        if (faulted()) {
            abandon();
            return false;
        }
        T* object = m_p;
        if (CallForeign([&fn, object] { fn(object); }))
            return true;
        ForeignFaults::Process().Add(m_module, nullptr);
        abandon();
        return false;
    }

    // Another interface of the same object, guarded; empty when the object
    // does not answer it (what a failed query leaves behind is not ours).
    template <typename U>
    ForeignPtr<U> query(REFIID iid, HRESULT* result = nullptr)
    {
        U* raw = nullptr;
        HRESULT hr = E_FAIL;
        if (!call([&hr, &raw, &iid](T* object) { hr = object->QueryInterface(iid, reinterpret_cast<void**>(&raw)); }))
            hr = E_UNEXPECTED;
        if (result)
            *result = hr;
        return ForeignPtr<U>(SUCCEEDED(hr) ? raw : nullptr, m_module);
    }

    // Holds what other holds, with a reference of its own (guarded AddRef).
    void copy_from(ForeignPtr& other)
    {
        reset();
        T* object = other.m_p;
        if (object && other.call([](T* p) { p->AddRef(); })) {
            m_p = object;
            m_module = other.m_module;
        }
    }

    // Lets go of the object: released, guarded, unless its DLL has faulted.
    void reset()
    {
        if (!m_p)
            return;
        call([](T* p) { p->Release(); });
        m_p = nullptr;
    }

    // Gives up the object without a call into it.
    void abandon() { m_p = nullptr; }

    void swap(ForeignPtr& other) noexcept
    {
        T* p = m_p;
        m_p = other.m_p;
        other.m_p = p;
        HMODULE h = m_module;
        m_module = other.m_module;
        other.m_module = h;
    }

private:
    T* m_p = nullptr;
    HMODULE m_module = nullptr;
};
