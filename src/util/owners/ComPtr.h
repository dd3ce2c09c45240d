#pragma once
#include <unknwn.h>

#include "util/owners/UniqueOwner.h"

template <typename T>
struct ComReleasePolicy {
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type p) { return p != nullptr; }
    static void Close(Type p) { p->Release(); }
};

// One COM reference: an owner like the others, which can also be copied (each
// copy holds a reference of its own) and asked for another interface.
template <typename T>
class ComPtr : public UniqueOwner<ComReleasePolicy<T>> {
    using Owner = UniqueOwner<ComReleasePolicy<T>>;

public:
    ComPtr() = default;
    explicit ComPtr(T* p) : Owner(p) {}  // takes ownership of a reference already held
    ComPtr(const ComPtr& other) : Owner(AddRefed(other.get())) {}
    ComPtr(ComPtr&& other) noexcept = default;
    ComPtr& operator=(ComPtr other) noexcept
    {
        this->swap(other);
        return *this;
    }

    T* operator->() const { return this->get(); }
    void** put_void() { return reinterpret_cast<void**>(this->put()); }

    // Holds p with a reference of its own.
    void copy_from(T* p) { this->reset(AddRefed(p)); }

    // Another interface of the same object.
    template <typename U>
    HRESULT query(ComPtr<U>& out) const
    {
        T* const p = this->get();
        if (!p)
            return E_POINTER;
        return out.receive([p](U** slot) { return p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(slot)); });
    }

private:
    static T* AddRefed(T* p)
    {
        if (p)
            p->AddRef();
        return p;
    }
};
