#include "crawler/CFileCrawlerBase.h"

#include <filterr.h>

// Placeholder bodies: the crawler is being built on its own branch.
CFileCrawlerBase::CFileCrawlerBase(const wchar_t*, const wchar_t*) {}
CFileCrawlerBase::~CFileCrawlerBase() = default;
HRESULT CFileCrawlerBase::Advance(wchar_t*, size_t, wchar_t*, size_t, wchar_t*, size_t) { return FILTER_E_END_OF_CHUNKS; }
int CFileCrawlerBase::GetCurrent(wchar_t*, int, wchar_t*, int, wchar_t*, int) const { return 0; }
int CFileCrawlerBase::CheckCurrent(int) { return 1; }
int CFileCrawlerBase::Reset() { return 1; }
bool CFileCrawlerBase::ShouldSkip(const wchar_t*, const wchar_t*) { return false; }
bool CFileCrawlerBase::IsSpecialName(const wchar_t*) { return false; }
HRESULT CFileCrawlerBase::NextEntry(wchar_t*, size_t, wchar_t*, size_t) { return E_NOTIMPL; }
HRESULT CFileCrawlerBase::ExtractCurrent(wchar_t*, size_t) { return E_NOTIMPL; }
bool CFileCrawlerBase::DeleteExtracted() { return true; }
