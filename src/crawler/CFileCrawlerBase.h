#pragma once
#include <windows.h>

#include <memory>

#include "crawler/IPageFilterLocator.h"

// Turns one container file into a sequence of page files on disk, one at a time:
// the bookkeeping that does not depend on the container's format. A page file
// lives only until the next one is produced.
class CFileCrawlerBase {
public:
    static constexpr size_t kBufferCapacity = 2049;

    CFileCrawlerBase(const wchar_t* containerPath, const wchar_t* tempFolder);
    virtual ~CFileCrawlerBase();
    CFileCrawlerBase(const CFileCrawlerBase&) = delete;
    CFileCrawlerBase& operator=(const CFileCrawlerBase&) = delete;

    // Asked, for each entry, whether a page filter exists for its extension.
    // Not owned; set before the first Advance.
    void SetLocator(IPageFilterLocator* locator) { m_locator = locator; }

    // S_OK: the next entry is current; target holds its extracted file, or is
    // empty when no page filter is known for it. S_FALSE: its extraction failed.
    // FILTER_E_END_OF_CHUNKS: no further entry. E_FAIL: a name did not fit.
    HRESULT Advance(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity,
                    wchar_t* target, size_t targetCapacity);

    int GetCurrent(wchar_t* name, int nameCapacity, wchar_t* folder, int folderCapacity,
                   wchar_t* extracted, int extractedCapacity) const;
    virtual int CheckCurrent(int value);
    virtual int Reset();

protected:
    virtual bool ShouldSkip(const wchar_t* name, const wchar_t* folder);
    virtual bool IsSpecialName(const wchar_t* name);
    virtual HRESULT NextEntry(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);
    virtual HRESULT ExtractCurrent(wchar_t* target, size_t targetCapacity);
    virtual bool DeleteExtracted();

    IPageFilterLocator* m_locator = nullptr;
    std::unique_ptr<wchar_t[]> m_containerPath;
    std::unique_ptr<wchar_t[]> m_tempFolder;
    std::unique_ptr<wchar_t[]> m_currentName;
    std::unique_ptr<wchar_t[]> m_currentFolder;
    std::unique_ptr<wchar_t[]> m_extractedFile;
    int m_extracted = 0;
};
