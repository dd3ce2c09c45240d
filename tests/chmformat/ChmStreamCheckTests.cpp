// The frames of compressed pages, followed before the storage component
// decodes them: damaged frames keep their pages from the component. (Every
// frame of every sound file passes: ChmStructureCheck.PassesEverySoundFile.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/ChmOffsets.h"
#include "support/ListedStreams.h"
#include "support/ChmBuilder.h"
#include "support/FileBytes.h"
#include "support/ChmLayout.h"
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
// Only the frames the component decodes for the read at hand are followed: it
// reads the low 32 bits' worth of a stream's size, so a stream whose frames
// past that are damaged may be read, and one whose read reaches them may not.
TEST(ChmStreamCheck, FollowsOnlyTheFramesTheReadReaches)
{
    ScratchFolder scratch;
    std::string words;
    for (int i = 0; i < 20000; ++i)
        words += "word" + std::to_string(i * 7919 % 100003) + " ";
    std::string bytes = FileBytes(ChmBuilder(scratch).File("big.htm", "<html><body>" + words + "</body></html>").Build());
    const ChmLayout layout(bytes);
    const auto& page = layout.Entry("/big.htm");
    const ULONGLONG frameSize = 0x8000;
    const ULONGLONG lastFrame = (page.offset.value + page.length.value - 1) / frameSize;
    ASSERT_GE(lastFrame, page.offset.value / frameSize + 2) << "the page spans frames";
    // The page's last frame becomes a frame of no bytes.
    const size_t table = layout.StreamAt(ChmLayout::kResetTable);
    const size_t entry =
        table + GetDword(bytes, table + ChmResetTable::kTableOffset) + 8 * static_cast<size_t>(lastFrame);
    PutQword(bytes, entry, GetQword(bytes, entry + 8));
    const std::wstring chm = scratch.WriteFile(L"damaged-last-frame.chm", bytes);

    CChmStreamCheck streams;
    ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(chm.c_str(), &streams));
    const ULONGLONG first = page.offset.value / frameSize;
    const ULONGLONG inFirstFrame = (first + 1) * frameSize - page.offset.value;
    EXPECT_TRUE(streams.Allows(L"", L"big.htm", (1ull << 32) + inFirstFrame));
    EXPECT_FALSE(streams.Allows(L"", L"big.htm", page.length.value));
}

// The component decodes names leniently and takes the first entry whose name
// matches without regard to case: a read of the name that a bad byte decodes
// to may get that entry, whatever its length in bytes, so its frames are
// followed too. (Here a page in damaged frames is renamed "/\xFF.htm", and a
// small one beside it "/\xEF\xBF\xBD.htm", a literal U+FFFD.)
TEST(ChmStreamCheck, EveryEntryANameMayReachIsChecked)
{
    ScratchFolder scratch;
    std::string words;
    for (int i = 0; i < 20000; ++i)
        words += "word" + std::to_string(i * 7919 % 100003) + " ";
    std::string bytes = FileBytes(ChmBuilder(scratch)
                                      .File("abc.htm", "<html><body>small</body></html>")
                                      .File("z.htm", "<html><body>" + words + "</body></html>")
                                      .Build());
    const ChmLayout layout(bytes);
    const auto& big = layout.Entry("/z.htm");
    const auto& small = layout.Entry("/abc.htm");
    const ULONGLONG frameSize = 0x8000;
    const ULONGLONG lastFrame = (big.offset.value + big.length.value - 1) / frameSize;
    ASSERT_LT((small.offset.value + small.length.value - 1) / frameSize, lastFrame) << "the small page lies before";
    const size_t table = layout.StreamAt(ChmLayout::kResetTable);
    const size_t entry =
        table + GetDword(bytes, table + ChmResetTable::kTableOffset) + 8 * static_cast<size_t>(lastFrame);
    PutQword(bytes, entry, GetQword(bytes, entry + 8));
    bytes[big.namePos + 1] = '\xFF';
    bytes.replace(small.namePos + 1, 3, "\xEF\xBF\xBD");
    const std::wstring chm = scratch.WriteFile(L"alike.chm", bytes);

    CChmStreamCheck streams;
    ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(chm.c_str(), &streams));
    ULONGLONG listed = 0;
    EXPECT_FALSE(streams.Allows(L"", L"\xFFFD.htm", big.length.value, &listed));
    EXPECT_EQ(big.length.value, listed) << "the most bytes an entry alike holds";
    EXPECT_FALSE(streams.Allows(L"", L"\x00FF.htm", big.length.value)) << "the bad byte read as Latin-1";
    EXPECT_TRUE(streams.Allows(L"", L"\xFFFD.htm", small.length.value)) << "the frames of its first bytes pass";
}
}  // namespace
