// The fuzzer's mutants through our own reader of help files, in one process:
// each file opened from a COM stream over its bytes, every stream its
// directory lists read whole (or, past the cap, its last bytes), and the check
// made before the storage component reads asked about the same stream. Fails
// (exit code 1) when a file takes longer than the time bound, when an
// allocation exceeds the reader's cap, or when the check and the decoder
// disagree: a stream the check passes must decode, and one whose frames the
// decoder rejects must be refused by the check. A fault of any other kind ends
// the process. Prints the faults met, by name.
//
//   fuzz_reader.exe <folder of .chm files> [time bound ms]
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "chmformat/CChmReader.h"
#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/CStreamByteSource.h"
#include "chmformat/ChmEntryNames.h"
#include "support/FileBytes.h"
#include "support/FolderEntries.h"
#include "support/LoadedModule.h"
#include "support/Narrow.h"
#include "util/owners/ComPtr.h"

namespace {
std::atomic<size_t> g_largest{0};
std::atomic<long> g_current{-1};
std::atomic<ULONGLONG> g_deadline{0};

void* Allocate(size_t size)
{
    size_t seen = g_largest.load();
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
    return malloc(size != 0 ? size : 1);
}

DWORD WINAPI Watchdog(void*)
{
    for (;;) {
        Sleep(100);
        const ULONGLONG deadline = g_deadline.load();
        if (deadline != 0 && GetTickCount64() > deadline) {
            printf("hang: file %ld ran past its time bound\n", g_current.load());
            fflush(stdout);
            ExitProcess(1);
        }
    }
}

struct Tally {
    std::map<std::string, int> faults;
    int files = 0;
    int streams = 0;
    int disagreements = 0;
};

void ReadHelpFile(const std::wstring& path, Tally& tally)
{
    const std::string bytes = FileBytes(path);
    ComPtr<IStream> memory;
    IStream* raw = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!raw)
        return;
    memory.copy_from(raw);
    raw->Release();
    std::unique_ptr<CStreamByteSource> source(new CStreamByteSource);
    if (!source->Open(memory.get()))
        return;
    CChmReader reader;
    const ChmFault opened = reader.Open(std::move(source));
    ++tally.faults[std::string("open ") + ChmFaultName(opened)];
    if (opened != ChmFault::None)
        return;
    CChmStreamCheck streams;
    if (CChmStructureCheck::Run(path.c_str(), &streams) != ChmFault::None) {
        printf("disagreement: %s opens in the reader, not in the check\n", Narrow(path).c_str());
        ++tally.disagreements;
        return;
    }
    const CChmListing& listing = reader.Listing();
    for (size_t i = 0; i < listing.Count(); ++i) {
        ++tally.streams;
        const ULONGLONG length = listing.At(i).length;
        ChmFault fault = ChmFault::None;
        if (length > CChmReader::kMaxStreamBytes) {
            std::vector<BYTE> whole;
            if (reader.ReadAll(i, whole) != ChmFault::TooLong) {
                printf("disagreement: %s entry %zu over the cap was read whole\n", Narrow(path).c_str(), i);
                ++tally.disagreements;
            }
            BYTE tail[64];
            DWORD read = 0;
            fault = reader.Read(i, length - sizeof(tail), tail, sizeof(tail), &read);
            ++tally.faults[std::string("read ") + ChmFaultName(fault)];
            continue;
        }
        std::vector<BYTE> whole;
        fault = reader.ReadAll(i, whole);
        ++tally.faults[std::string("read ") + ChmFaultName(fault)];
        std::wstring folder;
        std::wstring name;
        if (listing.At(i).section != 1 || !ChmEntryPath(listing.Name(i), false, folder, name))
            continue;
        // The check asks about every entry the component may take for the
        // name: when it passes, this one decodes; when this one does not
        // decode, it refuses.
        // (A frame the decoder rejects would leave this stream unread, so a
        // check that passed it would be caught here too.)
        const bool allowed = streams.Allows(folder.c_str(), name.c_str(), length);
        if (allowed && fault != ChmFault::None) {
            printf("disagreement: %s %s, check %d, reader %s\n", Narrow(path).c_str(), listing.Name(i).c_str(),
                   allowed, ChmFaultName(fault));
            ++tally.disagreements;
        }
    }
}
}  // namespace

void* operator new(size_t size)
{
    void* p = Allocate(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void operator delete(void* p) noexcept
{
    free(p);
}
void operator delete[](void* p) noexcept
{
    free(p);
}
void operator delete(void* p, size_t) noexcept
{
    free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    free(p);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: fuzz_reader.exe <folder> [time bound ms]\n");
        return 2;
    }
    const ULONGLONG bound = argc > 2 ? wcstoul(argv[2], nullptr, 10) : 10000;
    ComApartment com;
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    const std::wstring folder = argv[1];
    Tally tally;
    ULONGLONG slowest = 0;
    const ULONGLONG began = GetTickCount64();
    for (const std::wstring& name : FileNamesIn(folder)) {
        g_current = tally.files++;
        const ULONGLONG start = GetTickCount64();
        g_deadline = start + bound;
        ReadHelpFile(folder + L"\\" + name, tally);
        g_deadline = 0;
        if (GetTickCount64() - start > slowest)
            slowest = GetTickCount64() - start;
    }
    printf("%d files, %d streams in %llu ms (slowest file %llu ms), largest allocation %zu bytes\n", tally.files,
           tally.streams, GetTickCount64() - began, slowest, g_largest.load());
    for (const auto& fault : tally.faults)
        printf("  %s: %d\n", fault.first.c_str(), fault.second);
    const bool overCap = g_largest.load() > CChmReader::kMaxStreamBytes;
    if (overCap)
        printf("an allocation exceeded the cap of %llu bytes\n", CChmReader::kMaxStreamBytes);
    printf("%d disagreements between the check and the reader\n", tally.disagreements);
    return tally.disagreements == 0 && !overCap && tally.files > 0 ? 0 : 1;
}
