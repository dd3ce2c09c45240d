#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <filterr.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ChmWalk.h"
#include "crawler/CChmFileCrawler.h"
#include "filter/CHostProcessInfo.h"
#include "support/FileBytes.h"
#include "support/FilterDllCopy.h"
#include "support/LoadedModule.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/LookupFixture.h"

// The flat name of a page: its base name cut after eight characters, then its
// extension (from the last dot).
inline std::wstring FlatName(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    const std::wstring base = dot == std::wstring::npos ? name : name.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
    return base.substr(0, 8) + extension;
}

// One Advance as the filter sees it.
struct CrawlStep {
    HRESULT hr;
    std::wstring key;     // "folder|name" of the entry
    std::wstring target;  // empty: not extracted
    std::string bytes;    // of the extracted file
    size_t filesOnDisk;   // files below the watched folder right after the step
};

// Advances until the crawler reports anything but S_OK or S_FALSE, recording
// every step and what lies on disk below watched.
inline std::vector<CrawlStep> CrawlAll(CFileCrawlerBase& crawler, const std::wstring& watched,
                                       size_t targetCapacity = 2049, size_t nameCapacity = 2049)
{
    std::vector<CrawlStep> steps;
    std::vector<wchar_t> name(nameCapacity + 1), folder(2050), target(targetCapacity + 1);
    // Bounded: a crawl that never ends is itself a fault.
    for (int guard = 0; guard < 100000; ++guard) {
        CrawlStep step;
        step.hr = crawler.Advance(name.data(), nameCapacity, folder.data(), 2049, target.data(), targetCapacity);
        if (step.hr == S_OK) {
            step.key = std::wstring(folder.data()) + L"|" + name.data();
            step.target = target.data();
        }
        const auto files = FilesBelow(watched);
        step.filesOnDisk = files.size();
        if (!step.target.empty()) {
            const std::wstring relative = step.target.substr(std::min(step.target.size(), watched.size() + 1));
            const auto found = files.find(relative);
            if (found != files.end())
                step.bytes = found->second;
        }
        steps.push_back(step);
        if (step.hr != S_OK && step.hr != S_FALSE)
            break;
    }
    return steps;
}

// A scratch registry in which .htm, .html and .txt pages have a filter (a
// copy of the test page filters), and a temporary folder for the pages.
class CrawlerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        namespace L = LookupFixture;
        m_dll = std::make_unique<FilterDllCopy>(m_scratch, L"filters\\Page.dll");
        L::RegisterFilterClass(L::Ids::AllPersistString, m_dll->Path());
        L::RegisterHandler(L::kHandler, L::Ids::AllPersistString);
        for (const wchar_t* extension : {L"htm", L"html", L"txt"})
            L::LinkExtensionHandler(extension, L::kHandler);
        m_temp = m_scratch.MakeFolder(L"tmp");
    }
    void TearDown() override { m_dll.reset(); }

    ComApartment m_com;
    ScratchRegistry m_registry;
    ScratchFolder m_scratch;
    std::unique_ptr<FilterDllCopy> m_dll;
    CHostProcessInfo m_locator{L"C:\\Program Files\\Indexer\\cidaemon.exe"};
    std::wstring m_temp;
};
