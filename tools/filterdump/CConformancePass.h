#pragma once
#include <windows.h>
#include <filter.h>

#include <string>
#include <vector>

#include "ConformanceChunk.h"

class CConformanceTally;

// One pass of the conformance procedure over a filter that Init has just
// started: pulls every chunk with its text and value the way its kind asks,
// checks what that kind checks, and keeps what it read.
class CConformancePass {
public:
    enum class Kind {
        // Return codes, chunk fields and end answers; text through a large buffer.
        Validation,
        // The chunks, text and values of validation again; text through
        // buffers of 1 to 7 characters.
        Consistency,
        // On each chunk the wrong call first, then the right one; end answers
        // asked again and again.
        InvalidInput,
        // Reads and checks nothing: the runs and threads compare afterwards.
        Plain,
    };

    // tally and reference (validation's reading) may be null for Plain.
    CConformancePass(Kind kind, CConformanceTally* tally, const ConformanceRead* reference)
        : m_kind(kind), m_tally(tally), m_reference(reference) {}

    ConformanceRead Read(IFilter* filter);

    static const char* Name(Kind kind);

private:
    void ReadChunk(IFilter* filter, ConformanceChunk& chunk, size_t index);
    void ValidateFields(const ConformanceChunk& chunk, const std::string& position);
    void ReadText(IFilter* filter, ConformanceChunk& chunk, const ConformanceChunk* want, const std::string& position);
    void ReadValue(IFilter* filter, ConformanceChunk& chunk, const ConformanceChunk* want, const std::string& position);
    void Check(bool passed, const std::string& position, const char* condition, const std::string& detail);

    Kind m_kind;
    CConformanceTally* m_tally;
    const ConformanceRead* m_reference;
    ULONG m_previousId = 0;
    std::vector<ULONG> m_textIds;  // the text chunks so far, which a derived value may name as its source
};
