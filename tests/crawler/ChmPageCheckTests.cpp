// The frames of compressed pages, followed before the storage component
// decodes them: damaged frames keep their pages from the component. (Every
// frame of every sound file passes: ChmStructureCheck.PassesEverySoundFile.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ChmWalk.h"
#include "crawler/CChmPageCheck.h"
#include "crawler/CChmStorage.h"
#include "crawler/CChmStructureCheck.h"
#include "support/LoadedModule.h"
#include "support/Narrow.h"

namespace {
// A name that no directory holds: the whole compressed section is followed.
bool EveryFramePasses(CChmPageCheck& pages)
{
    return pages.Allows(L"", L"\x01", 1);
}

// Inputs kept from fuzzing runs after which the component's decoder damaged
// the heap inside IStream::Read: their structure is sound, their compressed
// data is not.
const wchar_t* const kDamagedData[] = {
    L"long-run-00487.chm", L"long-run-01227.chm", L"long-run-02237.chm",   L"long-run-04100.chm",
    L"long-run-04459.chm", L"long-run-04691.chm", L"long-run-06558.chm",   L"long-run-09902.chm",
    L"long-run-hang-04385.chm", L"short-run-seed1-00132.chm", L"short-run-seed1-00154.chm",
};

TEST(ChmPageCheck, FramesThatDamagedTheComponentsHeapFail)
{
    const std::wstring folder = FromUnix(TAVRINOLEX_KEPT_INPUTS "/heap");
    for (const wchar_t* name : kDamagedData) {
        SCOPED_TRACE(Narrow(name));
        CChmPageCheck pages;
        const std::wstring path = folder + L"\\" + name;
        ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(path.c_str(), &pages));
        EXPECT_FALSE(EveryFramePasses(pages));
    }
}

// Through the reader, the pages in damaged frames are refused before the
// component reads them, and the others are read.
TEST(ChmPageCheck, ReaderRefusesOnlyThePagesInDamagedFrames)
{
    ComApartment com;
    const std::wstring folder = FromUnix(TAVRINOLEX_KEPT_INPUTS "/heap");
    for (const wchar_t* name : kDamagedData) {
        SCOPED_TRACE(Narrow(name));
        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open((folder + L"\\" + name).c_str(), nullptr));
        wchar_t entry[2049], where[2049];
        int refused = 0, read = 0;
        for (HRESULT hr = reader.First(entry, 2049, where, 2049); hr == S_OK; hr = reader.Next(entry, 2049, where, 2049)) {
            BYTE* block = nullptr;
            DWORD count = 0;
            const HRESULT got = reader.ReadCurrent(&block, &count);
            if (block)
                LocalFree(block);
            if (got == STG_E_DOCFILECORRUPT)
                ++refused;
            else if (SUCCEEDED(got))
                ++read;
        }
        EXPECT_GT(refused, 0);
        EXPECT_GT(read, 0);
    }
}
}  // namespace
