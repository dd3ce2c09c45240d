#include "registry/JoinKeyPath.h"

#include "util/strings/BoundedString.h"

BOOL JoinKeyPath(wchar_t* out, size_t capacity, std::initializer_list<const wchar_t*> pieces)
{
    if (!out || FAILED(BoundedCopy(out, capacity, L"")))
        return FALSE;
    for (const wchar_t* piece : pieces) {
        if (!piece || BoundedAppend(out, capacity, piece) != S_OK) {
            out[0] = L'\0';
            return FALSE;
        }
    }
    return TRUE;
}
