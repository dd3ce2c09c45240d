#include "support/ModuleLoadCount.h"

#include <winternl.h>

#include <cstddef>

namespace {
// The loader's entry for one module, as far as the load count (the layout
// Windows NT and Wine share).
struct LoaderEntry {
    LIST_ENTRY inLoadOrder;
    LIST_ENTRY inMemoryOrder;
    LIST_ENTRY inInitializationOrder;
    void* dllBase;
    void* entryPoint;
    ULONG sizeOfImage;
    UNICODE_STRING fullDllName;
    UNICODE_STRING baseDllName;
    ULONG flags;
    SHORT loadCount;
    SHORT tlsIndex;
};
}  // namespace

int ModuleLoadCount(HMODULE module)
{
    if (!module)
        return -1;
    using QueryFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return -1;
    const PEB* peb = basic.PebBaseAddress;
    LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        const auto* entry = reinterpret_cast<const LoaderEntry*>(reinterpret_cast<const char*>(link) -
                                                                offsetof(LoaderEntry, inMemoryOrder));
        if (entry->dllBase == module)
            return entry->loadCount;
    }
    return -1;
}
