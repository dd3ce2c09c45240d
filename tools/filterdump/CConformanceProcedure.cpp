#include "CConformanceProcedure.h"

#include <objbase.h>
#include <propidl.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "CConformancePass.h"
#include "CConformanceTally.h"
#include "DescribeResult.h"

namespace {
// PSGUID_STORAGE / PID_STG_CONTENTS, and FMTID_SummaryInformation / PIDSI_TITLE.
constexpr GUID kStorage = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr PROPID kContents = 19;
constexpr GUID kSummary = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr PROPID kTitle = 2;
// The configuration whose validation pass the threads and runs must give again.
constexpr size_t kReferenceConfiguration = 1;

FULLPROPSPEC Property(const GUID& set, PROPID id)
{
    FULLPROPSPEC property{};
    property.guidPropSet = set;
    property.psProperty.ulKind = PRSPEC_PROPID;
    property.psProperty.propid = id;
    return property;
}

// Lets every thread's object exist before any of them starts reading, so that
// they read at the same time.
class StartLine {
public:
    explicit StartLine(unsigned count) : m_waiting(count) {}
    void ArriveAndWait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (--m_waiting == 0)
            m_ready.notify_all();
        else
            m_ready.wait(lock, [this] { return m_waiting == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    unsigned m_waiting;
};

HRESULT Start(IFilter* filter, const CConformanceProcedure::Configuration& configuration)
{
    ULONG flags = 0;
    const ULONG count = static_cast<ULONG>(configuration.attributes.size());
    return filter->Init(configuration.flags, count, count ? configuration.attributes.data() : nullptr, &flags);
}

struct ThreadReading {
    bool bound = false;
    std::string reason;
    HRESULT init = E_FAIL;
    ConformanceRead read;
};
}

std::vector<CConformanceProcedure::Configuration> CConformanceProcedure::Configurations()
{
    const ULONG allBits = IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_HARD_LINE_BREAKS | IFILTER_INIT_CANON_HYPHENS |
                          IFILTER_INIT_CANON_SPACES | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES |
                          IFILTER_INIT_APPLY_OTHER_ATTRIBUTES;
    return {
        {"config 1 (flags 0, no attributes)", 0, {}, false},
        {"config 2 (flags 63, no attributes)", allBits, {}, false},
        {"config 3 (APPLY_INDEX_ATTRIBUTES, contents)", IFILTER_INIT_APPLY_INDEX_ATTRIBUTES,
         {Property(kStorage, kContents)}, false},
        {"config 4 (APPLY_OTHER_ATTRIBUTES, title and contents)", IFILTER_INIT_APPLY_OTHER_ATTRIBUTES,
         {Property(kSummary, kTitle), Property(kStorage, kContents)}, false},
        {"config 5 (INDEXING_ONLY, a new object for each pass)", IFILTER_INIT_INDEXING_ONLY, {}, true},
    };
}

void CConformanceProcedure::Run()
{
    const std::vector<Configuration> configurations = Configurations();
    ConformanceRead reference;
    bool haveReference = false;
    for (size_t i = 0; i < configurations.size(); ++i) {
        m_tally.BeginSection(configurations[i].name);
        ConformanceRead validation;
        const bool validated = RunConfiguration(configurations[i], validation);
        if (i == kReferenceConfiguration) {
            reference = std::move(validation);
            haveReference = validated;
        }
        m_tally.EndSection();
    }

    const Configuration& configuration = configurations[kReferenceConfiguration];
    const std::string sections[] = {
        "threads (" + std::to_string(m_threads) + " objects at once, as config 2)",
        "runs (" + std::to_string(m_runs) + " more Init cycles on one object, as config 2)",
    };
    for (int part = 0; part < 2; ++part) {
        if ((part == 0 ? m_threads : m_runs) == 0)
            continue;
        m_tally.BeginSection(sections[part]);
        if (!haveReference)
            m_tally.Check(false, "all", "start", "reading to compare with", "config 2 gave no validation pass");
        else if (part == 0)
            RunThreads(configuration, reference);
        else
            RunCycles(configuration, reference);
        m_tally.EndSection();
    }
}

bool CConformanceProcedure::Bind(ComPtr<IFilter>& filter, const std::string& pass)
{
    // The object before goes first: one object of the configuration at a time.
    filter.reset();
    std::string reason;
    const bool bound = m_bind(filter, reason);
    m_tally.Check(bound, pass, "start", "Load", reason);
    return bound;
}

bool CConformanceProcedure::Init(IFilter* filter, const Configuration& configuration, const std::string& pass)
{
    const HRESULT hr = Start(filter, configuration);
    m_tally.Check(hr == S_OK, pass, "start", "Init", "answered " + DescribeResult(hr));
    return hr == S_OK;
}

bool CConformanceProcedure::RunConfiguration(const Configuration& configuration, ConformanceRead& validation)
{
    using Kind = CConformancePass::Kind;
    ComPtr<IFilter> filter;
    if (!configuration.newObjectEachPass && !Bind(filter, CConformancePass::Name(Kind::Validation)))
        return false;
    bool validated = false;
    for (const Kind kind : {Kind::Validation, Kind::Consistency, Kind::InvalidInput}) {
        const std::string pass = CConformancePass::Name(kind);
        if (configuration.newObjectEachPass && !Bind(filter, pass))
            continue;
        if (!Init(filter.get(), configuration, pass))
            continue;
        if (kind != Kind::Validation && !validated)
            continue;
        CConformancePass reader(kind, &m_tally, kind == Kind::Validation ? nullptr : &validation);
        ConformanceRead read = reader.Read(filter.get());
        if (kind == Kind::Validation) {
            validation = std::move(read);
            validated = true;
        }
    }
    return validated;
}

void CConformanceProcedure::RunThreads(const Configuration& configuration, const ConformanceRead& reference)
{
    std::vector<ThreadReading> readings(m_threads);
    StartLine start(m_threads);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < m_threads; ++i) {
        workers.emplace_back([this, &configuration, &start, &reading = readings[i]] {
            // An apartment of its own: a filter of any threading model is then
            // created and called on this thread.
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            {
                ComPtr<IFilter> filter;
                try {
                    if (FAILED(com))
                        reading.reason = "COM does not start on the thread: " + DescribeResult(com);
                    else
                        reading.bound = m_bind(filter, reading.reason);
                } catch (const std::exception& e) {
                    reading.reason = std::string("stopped: ") + e.what();
                }
                // Every thread arrives, bound or not, or the others would wait for ever.
                start.ArriveAndWait();
                try {
                    if (reading.bound) {
                        reading.init = Start(filter.get(), configuration);
                        if (reading.init == S_OK)
                            reading.read =
                                CConformancePass(CConformancePass::Kind::Plain, nullptr, nullptr).Read(filter.get());
                    }
                } catch (const std::exception&) {
                    reading.init = E_OUTOFMEMORY;
                }
            }
            if (SUCCEEDED(com))
                CoUninitialize();
        });
    }
    for (auto& worker : workers)
        worker.join();

    for (unsigned i = 0; i < m_threads; ++i) {
        const std::string pass = "thread " + std::to_string(i + 1);
        const ThreadReading& reading = readings[i];
        m_tally.Check(reading.bound, pass, "start", "Load", reading.reason);
        if (!reading.bound)
            continue;
        m_tally.Check(reading.init == S_OK, pass, "start", "Init", "answered " + DescribeResult(reading.init));
        if (reading.init == S_OK)
            Compare(reference, reading.read, pass);
    }
}

void CConformanceProcedure::RunCycles(const Configuration& configuration, const ConformanceRead& reference)
{
    ComPtr<IFilter> filter;
    if (!Bind(filter, "run 1"))
        return;
    for (unsigned run = 1; run <= m_runs; ++run) {
        const std::string pass = "run " + std::to_string(run);
        if (Init(filter.get(), configuration, pass))
            Compare(reference, CConformancePass(CConformancePass::Kind::Plain, nullptr, nullptr).Read(filter.get()), pass);
    }
}

void CConformanceProcedure::Compare(const ConformanceRead& reference, const ConformanceRead& read,
                                    const std::string& pass)
{
    const size_t common = std::min(reference.chunks.size(), read.chunks.size());
    for (size_t i = 0; i < common; ++i) {
        const std::string difference = ChunkDifference(reference.chunks[i], read.chunks[i], true, true);
        m_tally.Check(difference.empty(), pass, ChunkPosition(read.chunks[i], i), "same as config 2's validation",
                      difference);
    }
    const std::string difference = ReadDifference(reference, read);
    m_tally.Check(difference.empty(), pass, "end", "same chunk count", difference);
}
