#pragma once
#include "CConsoleWriter.h"
#include "CDumpSink.h"

// Readable output: the filter, the title, each chunk with its text or value,
// a summary line per file and, for a folder, a table.
class CTextDump : public CDumpSink {
public:
    // showChunks: the filter, title and chunks of each file; showSummary: its summary line.
    CTextDump(CConsoleWriter& out, bool showChunks, bool showSummary)
        : m_out(out), m_showChunks(showChunks), m_showSummary(showSummary)
    {
    }

    void Document(const std::wstring& file, const std::wstring& clsid, const std::wstring& dll,
                  const std::string& how, const CDllSignature* signature) override;
    void Chunk(const std::wstring& file, const ChunkRecord& chunk, const FileSummary& sofar) override;
    void Summary(const FileSummary& summary) override;
    void Table(const std::vector<FileSummary>& files, double seconds) override;

private:
    CConsoleWriter& m_out;
    bool m_showChunks;
    bool m_showSummary;
    bool m_titleShown = false;
};
