#include "util/strings/BoundedString.h"

HRESULT BoundedCopy(wchar_t* dest, size_t capacity, const wchar_t* src)
{
    if (capacity == 0 || capacity > kMaxBoundedCapacity || !dest)
        return E_INVALIDARG;
    if (!src)
        src = L"";

    size_t room = capacity;
    while (room != 0 && *src != L'\0') {
        *dest++ = *src++;
        --room;
    }
    if (room == 0) {
        // Out of room: the last character written gives way to the terminator.
        dest[-1] = L'\0';
        return kInsufficientBuffer;
    }
    *dest = L'\0';
    return S_OK;
}

HRESULT BoundedLength(const wchar_t* str, size_t capacity, size_t* length)
{
    size_t n = 0;
    if (str && capacity <= kMaxBoundedCapacity) {
        while (n < capacity && str[n] != L'\0')
            ++n;
    }
    if (!str || capacity == 0 || capacity > kMaxBoundedCapacity || n == capacity) {
        if (length)
            *length = 0;
        return E_INVALIDARG;
    }
    if (length)
        *length = n;
    return S_OK;
}

HRESULT BoundedAppend(wchar_t* dest, size_t capacity, const wchar_t* src)
{
    if (capacity > kMaxBoundedCapacity)
        return E_INVALIDARG;
    size_t used = 0;
    HRESULT hr = BoundedLength(dest, capacity, &used);
    if (FAILED(hr))
        return hr;
    return BoundedCopy(dest + used, capacity - used, src);
}
