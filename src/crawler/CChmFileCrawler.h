#pragma once
#include <windows.h>

#include <memory>

#include "crawler/CChmStorage.h"
#include "crawler/CFileCrawlerBase.h"

// Crawls a CHM through the storage reader: passes over internal entries and
// style sheets and writes each page into the temporary folder, under a flat
// eight-character name (mode 0) or in the CHM's own folder tree (mode 1).
class CChmFileCrawler : public CFileCrawlerBase {
public:
    CChmFileCrawler(const wchar_t* chmPath, const wchar_t* tempFolder, int extractionMode);
    ~CChmFileCrawler() override;

    int Reset() override;

protected:
    bool ShouldSkip(const wchar_t* name, const wchar_t* folder) override;
    bool IsSpecialName(const wchar_t* name) override;
    HRESULT NextEntry(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity) override;
    HRESULT ExtractCurrent(wchar_t* target, size_t targetCapacity) override;
    bool DeleteExtracted() override;

private:
    std::unique_ptr<CChmStorage> m_storage;
    int m_extractionMode = 0;
};
