#pragma once
#include <windows.h>
#include <filter.h>

#include <functional>
#include <string>
#include <vector>

#include "ConformanceChunk.h"
#include "util/owners/ComPtr.h"

class CConformanceTally;

// The published IFilter test procedure over one file. For each of five Init
// configurations: a validation pass, a consistency pass and an invalid-input
// pass, on one filter object (with IFILTER_INIT_INDEXING_ONLY, a new one for
// each pass). Then several objects, each on a thread of its own, read the
// file at once, and one object reads it several more times; every reading must
// equal the validation pass of configuration 2.
class CConformanceProcedure {
public:
    // Makes a new filter object for the file and names the file to it with
    // IPersistFile::Load; on failure, says why. Called from several threads at once.
    using Binder = std::function<bool(ComPtr<IFilter>& filter, std::string& reason)>;

    struct Configuration {
        std::string name;
        ULONG flags;
        std::vector<FULLPROPSPEC> attributes;
        bool newObjectEachPass;
    };

    CConformanceProcedure(Binder bind, CConformanceTally& tally, unsigned threads, unsigned runs)
        : m_bind(std::move(bind)), m_tally(tally), m_threads(threads), m_runs(runs) {}

    void Run();

    static std::vector<Configuration> Configurations();

private:
    bool Bind(ComPtr<IFilter>& filter, const std::string& pass);
    bool Init(IFilter* filter, const Configuration& configuration, const std::string& pass);
    // False when no validation pass was made; else its reading is in validation.
    bool RunConfiguration(const Configuration& configuration, ConformanceRead& validation);
    void RunThreads(const Configuration& configuration, const ConformanceRead& reference);
    void RunCycles(const Configuration& configuration, const ConformanceRead& reference);
    void Compare(const ConformanceRead& reference, const ConformanceRead& read, const std::string& pass);

    Binder m_bind;
    CConformanceTally& m_tally;
    unsigned m_threads;
    unsigned m_runs;
};
