#pragma once
#include "CConsoleWriter.h"
#include "CDumpSink.h"

// One JSON object per line, in UTF-8: "document" (the filter chosen for a
// file), "chunk" (one per chunk), "summary" (one per file) and, for a folder,
// "total". Valid JSON whatever the filter hands out.
class CJsonDump : public CDumpSink {
public:
    explicit CJsonDump(CConsoleWriter& out) : m_out(out) {}

    void Document(const std::wstring& file, const std::wstring& clsid, const std::wstring& dll,
                  const std::string& how, const CDllSignature* signature) override;
    void Chunk(const std::wstring& file, const ChunkRecord& chunk, const FileSummary& sofar) override;
    void Summary(const FileSummary& summary) override;
    void Table(const std::vector<FileSummary>& files, double seconds) override;

private:
    void Line(const nlohmann::ordered_json& object);

    CConsoleWriter& m_out;
};
