#pragma once
#include <string>
#include <vector>

#include "CDllSignature.h"
#include "ChunkRecord.h"

// Where a run's findings go: readable text or JSON lines.
class CDumpSink {
public:
    virtual ~CDumpSink() = default;
    // The filter chosen for a file, before its chunks, and the signature of the
    // DLL that serves it (null when that DLL cannot be told).
    virtual void Document(const std::wstring& file, const std::wstring& clsid, const std::wstring& dll,
                          const std::string& how, const CDllSignature* signature) = 0;
    virtual void Chunk(const std::wstring& file, const ChunkRecord& chunk, const FileSummary& sofar) = 0;
    // The end of one file.
    virtual void Summary(const FileSummary& summary) = 0;
    // The end of a folder run.
    virtual void Table(const std::vector<FileSummary>& files, double seconds) = 0;
};
