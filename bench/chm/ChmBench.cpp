// chm_bench <chm path> [repeats]
// Where the time and memory of one CHM go. Runs in a prefix where the filter,
// the storage component and the reference page filter are registered (the main
// command's prefix), as the default host. Prints one "key value" line per
// measurement; times are medians over the repeats, in milliseconds:
//   whole      the filter as a host loads it: CoCreateInstance, Load, Init, every
//              chunk with its text and values (title_ms: Init to the title chunk;
//              gap_ms: the longest time between two chunks)
//   stream     the same with the file handed over as Windows Search hands it
//              over: a read-only stream through IInitializeWithStream, each
//              repeat right after the whole run by path
//   read       the storage reader alone, every stream read into memory (open_ms:
//              opening the file through the storage component)
//   check      the structure check alone, as the reader runs it before it opens
//              the file (check_pct: its share of the same repeat's title_ms;
//              check_fault: what it found, 0 when nothing); frames_ms: every LZX
//              frame of the compressed section followed once, as the reader does
//              before the component decodes a page's frames
//   extract    the crawler, every page entry written and deleted, no lookups
//   lookups    the FindFilter calls the pipeline makes for those entries: one for
//              each entry, one more for each extracted page
//   pagefilter the same pages, already on disk, through their page filter
//   own_pct    whole minus extract, lookups and pagefilter, as a share of whole:
//              the median of that share over the repeats, each part taken from
//              the runs right after the same repeat's whole run
//   early/late_ms_per_chunk  the pace over the first and the last tenth of the
//              chunks of a whole run
// With "reader" or "component" as the third argument, in a process of its own
// each: every stream the directory lists that the component can name, read
// whole through our own reader (reader_ms, reader_peak_ws_mb) or through the
// storage component, each stream opened by its name (component_ms,
// component_peak_ws_mb); reader_frames is the frames our decoder decoded.
// peak_ws_mb is the process's peak working set after the whole runs (and so
// before the parts ran), as Windows reports it; peak_ws_end_mb after everything.
// With "stream" as the third argument only stream runs are made, so that the
// process's peak is theirs alone.
#include <windows.h>
#include <objbase.h>
#include <filter.h>
#include <filterr.h>
#include <psapi.h>
#include <propsys.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmReader.h"
#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/ChmEntryNames.h"
#include "crawler/CChmFileCrawler.h"
#include "crawler/CChmStorage.h"
#include "filter/CHostProcessInfo.h"
#include "support/DrainChunk.h"
#include "support/ListedStreams.h"
#include "support/ScratchFolder.h"
#include "support/StorageCalls.h"
#include "util/owners/ComPtr.h"
#include "util/com/FilterClassId.h"

namespace {
double NowMs()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / frequency;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Pulls every chunk, its text and its value, as an indexing host does.
struct ChunkTimes {
    size_t chunks = 0;
    double titleMs = 0;
    double longestGapMs = 0;
    size_t longestGapAt = 0;  // the chunk that ended it
    std::vector<double>* stamps = nullptr;  // when each chunk came, when wanted
};

HRESULT PullChunks(IFilter* filter, ChunkTimes& times)
{
    ULONG flags = 0;
    const double init = NowMs();
    HRESULT hr = filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_HARD_LINE_BREAKS |
                                  IFILTER_INIT_CANON_HYPHENS | IFILTER_INIT_CANON_SPACES |
                                  IFILTER_INIT_APPLY_INDEX_ATTRIBUTES | IFILTER_INIT_APPLY_OTHER_ATTRIBUTES |
                                  IFILTER_INIT_INDEXING_ONLY,
                              0, nullptr, &flags);
    if (FAILED(hr))
        return hr;
    double last = 0;
    for (;;) {
        STAT_CHUNK stat = {};
        hr = filter->GetChunk(&stat);
        const double now = NowMs();
        if (hr == FILTER_E_END_OF_CHUNKS)
            return S_OK;
        if (FAILED(hr))
            continue;  // a chunk the host passes over, as FILTER_E_EMBEDDING_UNAVAILABLE
        if (times.stamps)
            times.stamps->push_back(now);
        if (times.chunks++ == 0)
            times.titleMs = now - init;
        else if (now - last > times.longestGapMs) {
            times.longestGapMs = now - last;
            times.longestGapAt = times.chunks - 1;
        }
        DrainChunk(filter, stat);
        last = NowMs();
    }
}

struct WholeRun {
    double totalMs = 0;
    ChunkTimes times;
    std::vector<double> stamps;
};

// Milliseconds per chunk over the first and the last tenth of the chunks: a
// pace that rises along one file means work that grows with the pages behind.
void Pace(const std::vector<double>& stamps, double& early, double& late)
{
    const size_t tenth = stamps.size() / 10;
    if (tenth < 2) {
        early = late = 0;
        return;
    }
    early = (stamps[tenth] - stamps[1]) / static_cast<double>(tenth - 1);
    late = (stamps.back() - stamps[stamps.size() - 1 - tenth]) / static_cast<double>(tenth);
}

bool RunWhole(const std::wstring& chm, WholeRun& run, bool asStream = false)
{
    const double start = NowMs();
    ComPtr<IFilter> filter;
    if (FAILED(CoCreateInstance(CLSID_TavrinolexFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IFilter,
                                reinterpret_cast<void**>(filter.put()))))
        return false;
    if (asStream) {
        ComPtr<IInitializeWithStream> initialize;
        ComPtr<IStream> stream;
        if (FAILED(filter->QueryInterface(__uuidof(IInitializeWithStream), reinterpret_cast<void**>(initialize.put()))) ||
            FAILED(SHCreateStreamOnFileEx(chm.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                          nullptr, stream.put())) ||
            FAILED(initialize->Initialize(stream.get(), STGM_READ)))
            return false;
    } else {
        ComPtr<IPersistFile> persist;
        if (FAILED(filter->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.put()))) ||
            FAILED(persist->Load(chm.c_str(), STGM_READ)))
            return false;
    }
    run.stamps.reserve(1 << 16);
    run.times.stamps = &run.stamps;
    const HRESULT hr = PullChunks(filter.get(), run.times);
    filter.reset();
    run.totalMs = NowMs() - start;
    return SUCCEEDED(hr);
}

struct ReadRun {
    double openMs = 0;
    double totalMs = 0;
    size_t streams = 0;
    unsigned long long bytes = 0;
};

bool RunRead(const std::wstring& chm, ReadRun& run)
{
    static wchar_t name[2049], folder[2049];
    const double start = NowMs();
    CChmStorage reader;
    if (FAILED(reader.Open(chm.c_str(), nullptr)))
        return false;
    run.openMs = NowMs() - start;
    for (HRESULT step = reader.First(name, 2049, folder, 2049); step == S_OK; step = reader.Next(name, 2049, folder, 2049)) {
        ++run.streams;
        BYTE* block = nullptr;
        DWORD count = 0;
        if (SUCCEEDED(reader.ReadCurrent(&block, &count)))
            run.bytes += count;
        if (block)
            LocalFree(block);
    }
    reader.Close();
    run.totalMs = NowMs() - start;
    return true;
}

// The crawler's own walk and extraction, with every entry it would hand to a
// lookup treated as having a page filter.
class CExtractEveryEntry : public CChmFileCrawler {
public:
    using CChmFileCrawler::CChmFileCrawler;

    // S_OK: an entry was extracted to target (S_FALSE: its extraction failed);
    // FILTER_E_END_OF_CHUNKS at the end.
    HRESULT Step(std::wstring& entry, wchar_t* target)
    {
        static wchar_t name[kBufferCapacity], folder[kBufferCapacity];
        if (m_extracted && DeleteExtracted())
            m_extracted = 0;
        do {
            if (NextEntry(name, kBufferCapacity, folder, kBufferCapacity) != S_OK)
                return FILTER_E_END_OF_CHUNKS;
        } while (ShouldSkip(name, folder));
        entry = name;
        wcscpy(m_currentName.get(), name);
        wcscpy(m_currentFolder.get(), folder);
        if (ExtractCurrent(target, kBufferCapacity) != S_OK)
            return S_FALSE;
        wcscpy(m_extractedFile.get(), target);
        m_extracted = 1;
        return S_OK;
    }
};

struct Entry {
    std::wstring name;     // as the crawler hands it to FindFilter
    std::wstring page;     // its copy on disk, for the page-filter runs; empty when none
};

// One walk that also keeps a copy of every page, for the lookups and the
// page-filter runs.
double RunExtract(const std::wstring& chm, const std::wstring& temp, std::vector<Entry>* keep,
                  const std::wstring& keepFolder)
{
    static wchar_t target[CFileCrawlerBase::kBufferCapacity];
    const double start = NowMs();
    {
        CExtractEveryEntry crawler(chm.c_str(), temp.c_str(), 0);
        std::wstring entry;
        for (HRESULT hr; (hr = crawler.Step(entry, target)) != FILTER_E_END_OF_CHUNKS;) {
            if (!keep)
                continue;
            Entry kept{entry, L""};
            const wchar_t* dot = wcsrchr(entry.c_str(), L'.');
            if (hr == S_OK) {
                kept.page = keepFolder + L"\\" + std::to_wstring(keep->size()) + (dot ? dot : L"");
                CopyFileW(target, kept.page.c_str(), FALSE);
            }
            keep->push_back(kept);
        }
    }
    return NowMs() - start;
}

// The structure check as the reader runs it; then the check before each read
// of every stream the directory lists, which follows every frame a stream
// needs, once.
double RunCheck(const std::wstring& chm, int* fault, double* framesMs)
{
    const double start = NowMs();
    CChmStreamCheck streams;
    *fault = static_cast<int>(CChmStructureCheck::Run(chm.c_str(), &streams));
    const double checked = NowMs();
    if (*fault == 0)
        EveryListedStreamPasses(streams);
    *framesMs = NowMs() - checked;
    return checked - start;
}

double RunLookups(const std::vector<Entry>& entries, size_t* found)
{
    const double start = NowMs();
    CHostProcessInfo host;
    size_t pages = 0;
    for (const auto& entry : entries) {
        FilterLookupRecord record;
        if (!host.FindFilter(entry.name.c_str(), record) || entry.page.empty())
            continue;
        ++pages;
        FilterLookupRecord again;
        host.FindFilter(entry.page.c_str(), again);
    }
    if (found)
        *found = pages;
    return NowMs() - start;
}

// The page filters alone: the lookup records are made beforehand, one per extension.
double RunPageFilters(const std::vector<Entry>& entries, std::map<std::wstring, FilterLookupRecord>& records)
{
    double total = 0;
    CHostProcessInfo host;
    for (const auto& entry : entries) {
        if (entry.page.empty())
            continue;
        const wchar_t* dot = wcsrchr(entry.page.c_str(), L'.');
        const std::wstring extension = dot ? dot : L"";
        auto record = records.find(extension);
        if (record == records.end()) {
            record = records.emplace(extension, FilterLookupRecord()).first;
            if (!host.FindFilter(entry.page.c_str(), record->second))
                record->second.filterDllPath[0] = L'\0';
        }
        if (record->second.filterDllPath[0] == L'\0')
            continue;
        const double start = NowMs();
        ForeignPtr<IFilter> filter;
        ForeignModule module = host.CreatePageFilter(entry.page.c_str(), record->second, filter);
        ChunkTimes times;
        filter.call([&times](IFilter* f) { PullChunks(f, times); });
        filter.reset();
        module.reset();
        total += NowMs() - start;
    }
    return total;
}

void Print(const char* key, double value)
{
    std::printf("%s %.3f\n", key, value);
}

double PeakWorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0;
}

// The names of every stream the directory lists that the component can name.
std::vector<std::string> NamedStreams(const CChmReader& reader)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < reader.Listing().Count(); ++i) {
        std::wstring folder, name;
        if (ChmEntryPath(reader.Listing().Name(i), false, folder, name))
            names.push_back(reader.Listing().Name(i));
    }
    return names;
}

// Every such stream through our own reader (component false) or through the
// storage component, repeats times; prints the median time, the bytes and the
// process's peak working set.
int RunStreams(const std::wstring& chm, int repeats, bool component)
{
    std::vector<double> times;
    double bytes = 0;
    ULONGLONG frames = 0;
    for (int i = 0; i < repeats; ++i) {
        const double start = NowMs();
        bytes = 0;
        CChmReader reader;
        std::unique_ptr<CBoundedFileReader> file(new CBoundedFileReader);
        if (!file->Open(chm.c_str()) || reader.Open(std::unique_ptr<IChmByteSource>(file.release())) != ChmFault::None)
            return 1;
        const std::vector<std::string> names = NamedStreams(reader);
        if (!component) {
            std::vector<BYTE> stream;
            for (const std::string& name : names) {
                size_t entry = 0;
                if (reader.Find(name, entry) && reader.ReadAll(entry, stream) == ChmFault::None)
                    bytes += static_cast<double>(stream.size());
            }
            frames = reader.FramesDecoded();
        } else {
            const ComPtr<IStorage> root = OpenChmRoot(chm);
            if (!root)
                return 1;
            for (const std::string& name : names) {
                std::wstring folder, leaf;
                ChmEntryPath(name, false, folder, leaf);
                const ComPtr<IStorage> storage = OpenFolder(root, folder);
                ComPtr<IStream> stream;
                if (storage && SUCCEEDED(stream.receive([&](IStream** out) {
                        return storage->OpenStream(leaf.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, out);
                    })) &&
                    stream)
                    bytes += static_cast<double>(ReadStream(stream.get()).size());
            }
        }
        times.push_back(NowMs() - start);
    }
    const char* prefix = component ? "component" : "reader";
    std::printf("%s_ms %.3f\n", prefix, Median(times));
    std::printf("%s_mbytes %.3f\n", prefix, bytes / 1048576.0);
    std::printf("%s_peak_ws_mb %.3f\n", prefix, PeakWorkingSetMb());
    if (!component)
        Print("reader_frames", static_cast<double>(frames));
    return 0;
}
// Every figure of one run over a CHM, each a list of the repeats' values.
struct Measures {
    std::vector<Entry> entries;
    std::map<std::wstring, FilterLookupRecord> records;
    size_t gapAt = 0;
    std::vector<double> whole, title, gap, early, late, read, open, extract, lookups, pages, own, check, checkShare,
        frames, stream;
    int fault = 0;
    ReadRun sizes;
    size_t chunks = 0, found = 0;
    double peakAfterWhole = 0;
};

// "check": the structure check and the frames alone, repeats times.
int CheckMode(const std::wstring& chm, int repeats)
{
    int fault = 0;
    std::vector<double> check, frames;
    for (int i = 0; i < repeats; ++i) {
        double framesMs = 0;
        check.push_back(RunCheck(chm, &fault, &framesMs));
        frames.push_back(framesMs);
    }
    Print("check_ms", Median(check));
    Print("check_fault", static_cast<double>(fault));
    Print("frames_ms", Median(frames));
    return fault == 0 ? 0 : 1;
}

// "read": the storage walk alone, to see which part of the memory is its own.
int ReadMode(const std::wstring& chm, int repeats, Measures& m)
{
    for (int i = 0; i < repeats; ++i) {
        ReadRun r;
        RunRead(chm, r);
        m.read.push_back(r.totalMs);
    }
    return 0;
}

// "stream": whole runs over a stream alone, as a search host's process makes them.
int StreamMode(const std::wstring& chm, int repeats, Measures& m)
{
    for (int i = 0; i < repeats; ++i) {
        WholeRun run;
        if (!RunWhole(chm, run, true)) {
            std::fprintf(stderr, "chm_bench: the filter failed on the stream\n");
            return 1;
        }
        m.stream.push_back(run.totalMs);
    }
    return 0;
}

// The default: the whole run by path and its parts, interleaved repeat by repeat
// so that a change in the machine's load falls on all of them alike; "whole":
// the whole runs by path alone.
int WholeMode(const std::wstring& chm, int repeats, bool wholeOnly, const std::wstring& temp,
              const std::wstring& pagesFolder, Measures& m)
{
    for (int i = 0; i < repeats; ++i) {
        WholeRun run;
        if (!RunWhole(chm, run)) {
            std::fprintf(stderr, "chm_bench: the filter failed on the file\n");
            return 1;
        }
        m.whole.push_back(run.totalMs);
        m.title.push_back(run.times.titleMs);
        m.gap.push_back(run.times.longestGapMs);
        m.gapAt = run.times.longestGapAt;
        m.chunks = run.times.chunks;
        double e = 0, l = 0;
        Pace(run.stamps, e, l);
        m.early.push_back(e);
        m.late.push_back(l);
        if (wholeOnly)
            continue;
        {
            WholeRun byStream;
            if (RunWhole(chm, byStream, true))
                m.stream.push_back(byStream.totalMs);
        }
        if (i == 0) {
            // The peak of the process so far is the filter's own: nothing else has run.
            m.peakAfterWhole = PeakWorkingSetMb();
            RunExtract(chm, temp, &m.entries, pagesFolder);
        }
        double framesMs = 0;
        m.check.push_back(RunCheck(chm, &m.fault, &framesMs));
        m.checkShare.push_back(100.0 * m.check.back() / m.title.back());
        m.frames.push_back(framesMs);
        ReadRun r;
        RunRead(chm, r);
        m.read.push_back(r.totalMs);
        m.open.push_back(r.openMs);
        m.sizes = r;
        m.extract.push_back(RunExtract(chm, temp, nullptr, L""));
        m.lookups.push_back(RunLookups(m.entries, &m.found));
        m.pages.push_back(RunPageFilters(m.entries, m.records));
        // Paired with the whole run just before it, so that the machine's
        // load, which drifts over minutes, cancels out.
        m.own.push_back(100.0 * (m.whole.back() - m.extract.back() - m.lookups.back() - m.pages.back()) /
                        m.whole.back());
    }
    return 0;
}

void PrintMeasures(const Measures& m, double basePeakMb, double endPeakMb)
{
    Print("whole_ms", Median(m.whole));
    Print("stream_ms", Median(m.stream));
    Print("title_ms", Median(m.title));
    Print("gap_ms", Median(m.gap));
    Print("last_gap_at_chunk", static_cast<double>(m.gapAt));
    Print("chunks", static_cast<double>(m.chunks));
    Print("early_ms_per_chunk", Median(m.early));
    Print("late_ms_per_chunk", Median(m.late));
    Print("base_ws_mb", basePeakMb);
    Print("peak_ws_mb", m.peakAfterWhole);
    Print("peak_ws_end_mb", endPeakMb);
    Print("read_ms", Median(m.read));
    Print("open_ms", Median(m.open));
    Print("check_ms", Median(m.check));
    Print("check_pct", Median(m.checkShare));
    Print("check_fault", static_cast<double>(m.fault));
    Print("frames_ms", Median(m.frames));
    Print("extract_ms", Median(m.extract));
    Print("lookups_ms", Median(m.lookups));
    Print("pagefilter_ms", Median(m.pages));
    Print("own_pct", Median(m.own));
    Print("streams", static_cast<double>(m.sizes.streams));
    Print("mbytes", static_cast<double>(m.sizes.bytes) / 1048576.0);
    Print("entries", static_cast<double>(m.entries.size()));
    Print("pages", static_cast<double>(m.found));
}

// The modes that print the whole table: the default, "whole", "read", "stream".
// Each runs in a work folder of this process's own, removed at the end.
int MeasureMode(const std::wstring& chm, int repeats, const std::wstring& mode)
{
    const double basePeakMb = PeakWorkingSetMb();
    wchar_t tempPath[MAX_PATH];
    GetTempPathW(MAX_PATH, tempPath);
    const std::wstring work = std::wstring(tempPath) + L"chm_bench_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring temp = work + L"\\tmp", pagesFolder = work + L"\\pages";
    CreateDirectoryW(work.c_str(), nullptr);
    CreateDirectoryW(temp.c_str(), nullptr);
    CreateDirectoryW(pagesFolder.c_str(), nullptr);

    Measures m;
    int status;
    if (mode == L"read")
        status = ReadMode(chm, repeats, m);
    else if (mode == L"stream")
        status = StreamMode(chm, repeats, m);
    else
        status = WholeMode(chm, repeats, mode == L"whole", temp, pagesFolder, m);
    ScratchFolder::RemoveTree(work);
    PrintMeasures(m, basePeakMb, PeakWorkingSetMb());
    return status;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: chm_bench.exe <chm path> [repeats] [check|reader|component|read|stream|whole]\n");
        return 2;
    }
    const std::wstring chm = argv[1];
    const int repeats = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    const std::wstring mode = argc > 3 ? argv[3] : L"";
    if (mode == L"check")
        return CheckMode(chm, repeats);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    // "reader" or "component": every stream read whole through one of them.
    const int status = mode == L"reader" || mode == L"component" ? RunStreams(chm, repeats, mode == L"component")
                                                                 : MeasureMode(chm, repeats, mode);
    CoUninitialize();
    return status;
}
