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
#include "support/KeptInputs.h"
#include "support/Narrow.h"
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
}  // namespace
