#include "support/DrainChunk.h"

#include <propidl.h>

void DrainChunk(IFilter* filter, const STAT_CHUNK& stat)
{
    if (stat.flags & CHUNK_TEXT) {
        WCHAR text[4096];
        for (;;) {
            ULONG count = 4096;
            if (FAILED(filter->GetText(&count, text)))
                break;
        }
    }
    if (stat.flags & CHUNK_VALUE) {
        PROPVARIANT* value = nullptr;
        while (SUCCEEDED(filter->GetValue(&value)) && value) {
            PropVariantClear(value);
            CoTaskMemFree(value);
            value = nullptr;
        }
    }
}
