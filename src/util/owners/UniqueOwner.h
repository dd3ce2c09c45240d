#pragma once
#include <windows.h>

#include <utility>

// Owns one resource of the kind Policy describes, as
//   struct Policy {
//       using Type = HANDLE;                  // what is held
//       static Type Invalid();                // what "nothing held" looks like
//       static bool Valid(Type value);        // whether value is something to give back
//       static void Close(Type value);        // gives a valid value back
//   };
// with one alias per resource (UniqueHandle, RegKey, BStr, ...), so that every
// owner speaks the same words: get, reset, put, detach, receive.
template <typename Policy>
class UniqueOwner {
public:
    using Type = typename Policy::Type;

    UniqueOwner() = default;
    // Takes over a resource already held.
    explicit UniqueOwner(Type value) : m_value(value) {}
    UniqueOwner(UniqueOwner&& other) noexcept : m_value(other.detach()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept
    {
        if (this != &other)
            reset(other.detach());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() { reset(); }

    Type get() const { return m_value; }
    explicit operator bool() const { return Policy::Valid(m_value); }

    // Gives back what is held (after forgetting it, so that a Close that
    // calls back in finds nothing) and holds value instead.
    void reset(Type value = Policy::Invalid())
    {
        const Type old = m_value;
        m_value = value;
        if (Policy::Valid(old))
            Policy::Close(old);
    }

    // Gives back what is held and hands out the slot for an out parameter.
    Type* put()
    {
        reset();
        return &m_value;
    }

    // Gives ownership away.
    Type detach()
    {
        const Type value = m_value;
        m_value = Policy::Invalid();
        return value;
    }

    // Calls a function that fills an out parameter, as
    //   hr = stream.receive([&](IStream** out) { return storage->OpenStream(..., out); });
    // What the call leaves there is owned only when it succeeded: after a failure
    // it may be garbage (Wine leaves some), so it is dropped, never given back.
    template <typename Call>
    HRESULT receive(Call&& call)
    {
        Type raw = Policy::Invalid();
        const HRESULT hr = call(&raw);
        reset(SUCCEEDED(hr) ? raw : Policy::Invalid());
        return hr;
    }

    void swap(UniqueOwner& other) noexcept { std::swap(m_value, other.m_value); }

private:
    Type m_value = Policy::Invalid();
};
