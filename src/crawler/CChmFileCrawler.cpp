#include "crawler/CChmFileCrawler.h"

// Placeholder bodies: the crawler is being built on its own branch.
CChmFileCrawler::CChmFileCrawler(const wchar_t* chmPath, const wchar_t* tempFolder, int extractionMode)
    : CFileCrawlerBase(chmPath, tempFolder), m_extractionMode(extractionMode) {}
CChmFileCrawler::~CChmFileCrawler() = default;
int CChmFileCrawler::Reset() { return 1; }
bool CChmFileCrawler::ShouldSkip(const wchar_t*, const wchar_t*) { return false; }
bool CChmFileCrawler::IsSpecialName(const wchar_t*) { return false; }
HRESULT CChmFileCrawler::NextEntry(wchar_t*, size_t, wchar_t*, size_t) { return E_NOTIMPL; }
HRESULT CChmFileCrawler::ExtractCurrent(wchar_t*, size_t) { return E_NOTIMPL; }
bool CChmFileCrawler::DeleteExtracted() { return true; }
