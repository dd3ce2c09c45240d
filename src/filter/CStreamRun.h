#pragma once
#include <windows.h>
#include <filter.h>
#include <objidl.h>

#include <memory>
#include <string>

#include "chmformat/ChmTitle.h"
#include "filter/CRunFolder.h"
#include "foreign/ForeignModule.h"
#include "foreign/ForeignPtr.h"

class CChmEntryWalk;
class CChmReader;
class CHostProcessInfo;

// A run over a help file handed over as a stream: read with our own reader,
// never through the storage component or by path, and nothing written unless a
// page filter can take its page only as a file. The title comes from #SYSTEM
// and the pages from the directory, under the crawler's rules; each page goes
// to its page filter from memory.
class CStreamRun {
public:
    explicit CStreamRun(CHostProcessInfo& host);
    ~CStreamRun();
    CStreamRun(const CStreamRun&) = delete;
    CStreamRun& operator=(const CStreamRun&) = delete;

    // False when the stream's size cannot be learnt. A help file the reader
    // refuses is no failure here: its run gives no title and no page.
    bool Open(IStream* document);

    // The title and its language from #SYSTEM, decoded as for a file path.
    bool Title(size_t capacity, ChmTitle& title);

    enum class Step { Page, Skipped, End };
    // The next page's filter, given the page (Page); Skipped when the entry
    // gives none; End after the last. The page file of the page before, if it
    // needed one, goes first: the caller has let go of its filter.
    Step Next(ForeignPtr<IFilter>& filter, ForeignModule& module);

private:
    // A page filter that takes its page only as a file gets one in the run's
    // temporary folder, made on first need; false when none can be made.
    bool WritePageFile(const std::wstring& name, const BYTE* data, size_t size);
    void DeletePageFile();

    CHostProcessInfo& m_host;
    std::unique_ptr<CChmReader> m_reader;
    std::unique_ptr<CChmEntryWalk> m_walk;
    CRunFolder m_folder;
    std::wstring m_pageFile;
};
