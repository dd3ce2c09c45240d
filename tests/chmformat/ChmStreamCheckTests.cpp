// The frames of compressed pages, followed before the storage component
// decodes them: damaged frames keep their pages from the component. (Every
// frame of every sound file passes: ChmStructureCheck.PassesEverySoundFile.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "ListedStreams.h"
#include "support/ChmBuilder.h"
#include "support/KeptInputs.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "support/WinePath.h"

namespace {
TEST(ChmStreamCheck, FramesThatDamagedTheComponentsHeapFail)
{
    const std::wstring folder = FromUnix(TAVRINOLEX_KEPT_INPUTS "/heap");
    for (const wchar_t* name : kDamagedFrameInputs) {
        SCOPED_TRACE(Narrow(name));
        CChmStreamCheck streams;
        const std::wstring path = folder + L"\\" + name;
        ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(path.c_str(), &streams));
        EXPECT_FALSE(EveryListedStreamPasses(streams));
    }
}
// A read that no entry of the directory names is refused: the component would
// find no stream by that name, and nothing vouches for what it might read.
TEST(ChmStreamCheck, ReadsThatNoEntryNamesAreRefused)
{
    ScratchFolder scratch;
    const std::wstring chm = ChmBuilder(scratch).File("Page.htm", "<html><body>page</body></html>").Build();
    CChmStreamCheck streams;
    ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(chm.c_str(), &streams));
    EXPECT_TRUE(streams.Allows(L"", L"Page.htm", 31));
    EXPECT_TRUE(streams.Allows(L"", L"PAGE.HTM", 31)) << "the component finds names without regard to case";
    EXPECT_FALSE(streams.Allows(L"", L"other.htm", 31));
    EXPECT_FALSE(streams.Allows(L"sub", L"Page.htm", 31));
}
}  // namespace
