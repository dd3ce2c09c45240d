#include "registry/ReadRegistryText.h"

#include <memory>
#include <new>

#include "util/strings/BoundedString.h"

namespace {
// Up to this limit the buffer is sized by the limit, and the typed read's own
// measurement of the value is the only one: every question is a round trip to
// the registry's server, and a lookup reads several values.
constexpr DWORD kLimitSizedBuffer = 2048;
}

BOOL ReadRegistryText(const CRegistry& key, const wchar_t* name, wchar_t* out, size_t capacity, DWORD limit,
                      BOOL* expandable, DWORD* stored)
{
    if (!out || capacity == 0)
        return FALSE;
    DWORD length = limit;
    if (limit == 0 || limit > kLimitSizedBuffer) {
        if (!key.QueryValueLength(name, &length))
            return FALSE;
        if (limit != 0 && length > limit)
            return FALSE;
    }

    // One character more than stored (or than the limit allows), zero-filled:
    // the text is terminated even when the value was stored without a
    // terminator (or with an odd size).
    const DWORD room = length + 1;
    std::unique_ptr<wchar_t[]> text(new (std::nothrow) wchar_t[room]());
    if (!text)
        return FALSE;
    BOOL expand = FALSE;
    DWORD bytes = 0;
    const BOOL read = expandable ? key.ReadExpandableString(name, text.get(), &expand, room, &bytes)
                                 : key.ReadString(name, text.get(), room, &bytes);
    if (!read)
        return FALSE;
    if (limit != 0 && bytes / sizeof(wchar_t) > limit)
        return FALSE;

    size_t textLength = 0;
    if (FAILED(BoundedLength(text.get(), room, &textLength)) || textLength >= capacity)
        return FALSE;
    if (FAILED(BoundedCopy(out, capacity, text.get())))
        return FALSE;
    if (expandable)
        *expandable = expand;
    if (stored)
        *stored = bytes / static_cast<DWORD>(sizeof(wchar_t));
    return TRUE;
}
