// growth_bench <documents per round> <rounds> <threads> filter|reader|storage <chm> [<chm> ...]
// Heap bytes in use that stay behind per document, in one process that filters
// many documents, as a search host keeps one. Every round filters the given
// number of documents (the files in turn), shared out over the threads, each
// thread in an apartment of its own for the whole run; between rounds every
// thread waits, and the bytes in use are summed over every heap of the process
// (GetProcessHeaps, then HeapWalk over each: the sizes of the busy blocks,
// which hold what HeapAlloc, the C runtime's malloc and new, CoTaskMemAlloc
// and LocalAlloc hand out). The first round warms up (first loads of DLLs,
// caches filled once, the output's buffer); the growth is what the later
// rounds add, per document. What is filtered:
//   filter   the filter as a host uses it: a new object per document
//            (CoCreateInstance), Load, Init, every chunk with its text and values
//   reader   our storage reader alone: the structure check, then the walk
//            through the storage component, every stream read
//   storage  the storage component alone: a new instance per document, open,
//            list, read every stream (streams by their whole path from the root)
// The stand-in storage component counts what Wine's itss.dll keeps for good
// (its OpenStorage never frees the path it resolves); that part is printed
// apart as the platform's, and the rest as ours, which should stay at zero.
#include <windows.h>
#include <objbase.h>
#include <filter.h>
#include <filterr.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "crawler/CChmStorage.h"
#include "crawler/IITStorage.h"
#include "support/DrainChunk.h"
#include "util/owners/ComPtr.h"
#include "util/com/FilterClassId.h"
#include "util/owners/LocalBlock.h"
#include "util/owners/UniqueHandle.h"

namespace {
// Busy bytes over every heap of the process; each heap is locked while it is
// walked, and nothing of ours allocates meanwhile.
long long HeapBytesInUse()
{
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    long long total = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += static_cast<long long>(entry.cbData);
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

// What the platform's storage component has kept for good, as the stand-in
// counts it; -1 where the component is not the stand-in.
long long PlatformKeptBytes()
{
    using KeptFn = LONGLONG(WINAPI*)();
    const HMODULE standIn = GetModuleHandleW(L"ChmStorageStandIn.dll");
    const auto kept = standIn ? reinterpret_cast<KeptFn>(reinterpret_cast<void*>(
                                    GetProcAddress(standIn, "StandInPlatformKeptBytes")))
                              : nullptr;
    return kept ? kept() : -1;
}

void PullEverything(IFilter* filter)
{
    for (;;) {
        STAT_CHUNK stat = {};
        const HRESULT hr = filter->GetChunk(&stat);
        if (hr == FILTER_E_END_OF_CHUNKS || hr == E_FAIL || hr == E_INVALIDARG)
            return;
        if (FAILED(hr))
            continue;
        DrainChunk(filter, stat);
    }
}

bool FilterOne(const std::wstring& chm)
{
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_TavrinolexFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                                reinterpret_cast<void**>(persist.put()))))
        return false;
    ComPtr<IFilter> filter;
    if (FAILED(persist->Load(chm.c_str(), STGM_READ)) ||
        FAILED(persist->QueryInterface(IID_IFilter, reinterpret_cast<void**>(filter.put()))))
        return false;
    ULONG flags = 0;
    if (FAILED(filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES, 0, nullptr, &flags)))
        return false;
    PullEverything(filter.get());
    return true;
}

bool ReadOne(const std::wstring& chm)
{
    static thread_local wchar_t name[2049], folder[2049];
    CChmStorage reader;
    if (FAILED(reader.Open(chm.c_str(), nullptr)))
        return false;
    for (HRESULT step = reader.First(name, 2049, folder, 2049); step == S_OK;
         step = reader.Next(name, 2049, folder, 2049)) {
        BYTE* block = nullptr;
        DWORD count = 0;
        reader.ReadCurrent(&block, &count);
        LocalBlock<BYTE> owned(block);
    }
    reader.Close();
    return true;
}

// Every stream below a storage, read whole; streams are opened from the root
// by their whole path, as the component's sub-storages may not open them.
void ReadEveryStream(IStorage* root, IStorage* storage, const std::wstring& path)
{
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.put())) || !elements)
        return;
    for (;;) {
        STATSTG stat = {};
        ULONG fetched = 0;
        if (elements->Next(1, &stat, &fetched) != S_OK || fetched != 1)
            return;
        const std::wstring name = path + (stat.pwcsName ? stat.pwcsName : L"");
        CoTaskMemFree(stat.pwcsName);
        if (stat.type == STGTY_STORAGE) {
            ComPtr<IStorage> child;
            if (SUCCEEDED(root->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                            child.put())) &&
                child)
                ReadEveryStream(root, child.get(), name + L"/");
            continue;
        }
        ComPtr<IStream> stream;
        if (FAILED(root->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put())) ||
            !stream)
            continue;
        BYTE buffer[65536];
        ULONG read = 0;
        while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0) {
        }
    }
}

bool ComponentOne(const std::wstring& chm)
{
    ComPtr<IITStorage> component;
    if (FAILED(CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                reinterpret_cast<void**>(component.put()))))
        return false;
    ComPtr<IStorage> root;
    if (FAILED(component->StgOpenStorage(chm.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                         root.put())) ||
        !root)
        return false;
    ReadEveryStream(root.get(), root.get(), L"");
    return true;
}

struct Plan {
    std::vector<std::wstring> files;
    size_t documents = 0;
    int rounds = 0;
    size_t threads = 0;
    std::wstring what;
};

bool One(const Plan& plan, const std::wstring& chm)
{
    if (plan.what == L"reader")
        return ReadOne(chm);
    if (plan.what == L"storage")
        return ComponentOne(chm);
    return FilterOne(chm);
}

// Each thread's share of a round, started by one event and reported by another.
struct Worker {
    UniqueHandle go;
    UniqueHandle done;
    size_t index = 0;
    size_t failures = 0;
};

void Work(const Plan& plan, Worker& worker)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (int round = 0; round < plan.rounds; ++round) {
        WaitForSingleObject(worker.go.get(), INFINITE);
        for (size_t d = worker.index; d < plan.documents; d += plan.threads) {
            if (!One(plan, plan.files[d % plan.files.size()]))
                ++worker.failures;
        }
        SetEvent(worker.done.get());
    }
    // The apartment ends only after the last measurement.
    WaitForSingleObject(worker.go.get(), INFINITE);
    CoUninitialize();
}

void PrintPerDocument(const char* key, long long bytes, double documents)
{
    std::printf("%s %.2f\n", key, static_cast<double>(bytes) / documents);
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: growth_bench.exe <documents per round> <rounds> <threads> filter|reader|storage <chm> ...\n");
        return 2;
    }
    Plan plan;
    plan.documents = static_cast<size_t>(_wtoi(argv[1]));
    plan.rounds = _wtoi(argv[2]);
    plan.threads = static_cast<size_t>(_wtoi(argv[3]));
    plan.what = argv[4];
    for (int i = 5; i < argc; ++i)
        plan.files.push_back(argv[i]);
    if (plan.documents == 0 || plan.rounds < 2 || plan.threads == 0 ||
        (plan.what != L"filter" && plan.what != L"reader" && plan.what != L"storage")) {
        std::fprintf(stderr, "growth_bench: at least one document, two rounds and one thread\n");
        return 2;
    }
    // The output's buffer is made before the first measurement.
    std::printf("documents_per_round %zu\nrounds %d\nthreads %zu\n", plan.documents, plan.rounds, plan.threads);
    std::fflush(stdout);

    std::vector<Worker> workers(plan.threads);
    std::vector<HANDLE> done;
    for (size_t t = 0; t < plan.threads; ++t) {
        workers[t].go.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        workers[t].done.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        workers[t].index = t;
        done.push_back(workers[t].done.get());
    }
    std::vector<std::thread> threads;
    for (size_t t = 0; t < plan.threads; ++t)
        threads.emplace_back([&plan, &workers, t] { Work(plan, workers[t]); });

    // Made in full before the first measurement, as everything of the bench's own.
    std::vector<long long> inUse, kept;
    inUse.reserve(static_cast<size_t>(plan.rounds));
    kept.reserve(static_cast<size_t>(plan.rounds));
    for (int round = 0; round < plan.rounds; ++round) {
        for (auto& worker : workers)
            SetEvent(worker.go.get());
        WaitForMultipleObjects(static_cast<DWORD>(done.size()), done.data(), TRUE, INFINITE);
        inUse.push_back(HeapBytesInUse());
        kept.push_back(PlatformKeptBytes());
    }
    for (auto& worker : workers)
        SetEvent(worker.go.get());
    for (auto& thread : threads)
        thread.join();

    size_t failures = 0;
    for (const auto& worker : workers)
        failures += worker.failures;
    for (size_t round = 0; round < inUse.size(); ++round)
        std::printf("round_%zu_heap_bytes %lld\n", round + 1, inUse[round]);
    const double measured = static_cast<double>(plan.documents) * (plan.rounds - 1);
    const long long growth = inUse.back() - inUse.front();
    std::printf("failures %zu\n", failures);
    std::printf("growth_bytes %lld\n", growth);
    PrintPerDocument("growth_bytes_per_document", growth, measured);
    if (kept.back() >= 0) {
        const long long platform = kept.back() - kept.front();
        PrintPerDocument("platform_bytes_per_document", platform, measured);
        PrintPerDocument("own_bytes_per_document", growth - platform, measured);
    }
    return failures == 0 ? 0 : 1;
}
