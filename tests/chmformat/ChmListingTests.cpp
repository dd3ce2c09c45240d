// The directory's entries as the storage component finds them by name: the
// entries any component may take for a path (checked before a read), and the
// one stream a path resolves to (handed out once per walk).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "chmformat/CChmListing.h"
#include "support/Narrow.h"

namespace {
void Fill(CChmListing& listing, const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        ASSERT_TRUE(listing.AddEntry(reinterpret_cast<const BYTE*>(name.data()), name.size(), 0, 0, 1));
}

std::vector<size_t> Alike(CChmListing& listing, const std::wstring& path)
{
    const size_t group = listing.LikeGroup(path);
    if (group == CChmListing::kNone)
        return {};
    const CChmListing::Span members = listing.LikeMembers(group);
    return std::vector<size_t>(members.begin(), members.end());
}

struct AlikeCase {
    const char* row;
    std::vector<std::string> names;
    const wchar_t* path;
    std::vector<size_t> alike;  // entry numbers, in directory order
};

TEST(ChmListing, FindsEveryEntryAComponentMayTakeForAPath)
{
    const std::string longBad = "/" + std::string(93, '\xFF') + ".htm";
    const AlikeCase cases[] = {
        {"case of ASCII letters", {"/a/Page.htm", "/b.htm", "/A/PAGE.HTM"}, L"/a/page.htm", {0, 2}},
        {"bad bytes and a literal U+FFFD, of any length",
         {"/\xFF.htm", "/x.htm", "/\xEF\xBF\xBD.htm", longBad},
         L"/\xFFFD.htm",
         {0, 2, 3}},
        {"bad bytes as Latin-1 or dropped", {"/\xFF.htm", "/\xC3\xBF.htm", "/.htm"}, L"/\x00FF.htm", {0, 1, 2}},
        {"Latin-1 and UTF-8 of one letter, either case",
         {"/\xC9.htm", "/\xC3\xA9.htm", "/e.htm"},
         L"/\x00C9.htm",
         {0, 1}},
        {"dotted capital I", {"/\xC4\xB0.htm", "/i.htm", "/j.htm"}, L"/I.htm", {0, 1}},
        {"dotless small i", {"/\xC4\xB1.htm", "/I.htm"}, L"/i.htm", {0, 1}},
        {"long s", {"/\xC5\xBF.htm", "/S.htm"}, L"/s.htm", {0, 1}},
        {"Kelvin sign", {"/\xE2\x84\xAA.htm", "/k.htm"}, L"/K.htm", {0, 1}},
        {"Angstrom sign", {"/\xE2\x84\xAB.htm", "/\xC3\x85.htm"}, L"/\x00E5.htm", {0, 1}},
        {"Cyrillic letters, either case", {"/\xD0\xAF.htm", "/\xD1\x8F.htm"}, L"/\x044F.htm", {0, 1}},
        {"nothing after a NUL counts", {std::string("/a.htm\0tail", 11), "/a.htm"}, L"/A.htm", {0, 1}},
        {"backslash for slash", {"/a\\b.htm", "/a/b.htm"}, L"/a/b.htm", {0, 1}},
        {"distinct CJK names of one length stay apart",
         {"/\xE4\xB8\x80.htm", "/\xE4\xB8\x81.htm", "/\xE4\xB8\x82.htm"},
         L"/\x4E01.htm",
         {1}},
        {"no entry", {"/a.htm"}, L"/b.htm", {}},
    };
    for (const AlikeCase& c : cases) {
        SCOPED_TRACE(c.row);
        CChmListing listing;
        Fill(listing, c.names);
        EXPECT_EQ(c.alike, Alike(listing, c.path));
    }
}

// Groups join through any shared reading: a chain of pairs is one group,
// counted and numbered once.
TEST(ChmListing, GroupsJoinThroughSharedReadings)
{
    CChmListing listing;
    Fill(listing, {"/x.htm", "/\xC3\xA9.htm", "/\xC9.htm", "/\xE9.htm", "/y.htm", "/\xC3\x89.htm"});
    EXPECT_EQ(3u, listing.LikeGroups());
    EXPECT_EQ((std::vector<size_t>{1, 2, 3, 5}), Alike(listing, L"/\x00E9.htm"));
    EXPECT_EQ(listing.LikeGroup(L"/x.htm"), 0u);
    EXPECT_EQ(listing.LikeGroup(L"/Y.HTM"), 2u);
}

// The component resolves a path to one stream: UTF-8 decoded leniently, ASCII
// letters folded. Each comes up once per walk, whichever name met it.
TEST(ChmListing, HandsOutEachResolvedStreamOnce)
{
    CChmListing listing;
    Fill(listing, {
                      "/a.htm",             // 0
                      "/A.htm",             // 1: resolves as 0
                      "/\xFF.htm",          // 2
                      "/\xFE.htm",          // 3: decodes as 2
                      "/\xC3\xA9.htm",      // 4
                      "/\xC3\x89.htm",      // 5: another letter to the component
                      "/\xE4\xB8\x80.htm",  // 6
                      "/\xE4\xB8\x81.htm",  // 7
                      "/b.htm",             // 8
                  });
    for (int walk = 0; walk < 2; ++walk) {
        SCOPED_TRACE(walk);
        listing.ForgetMet();
        EXPECT_TRUE(listing.MarkMet(L"/B.HTM")) << "met by the walk, in any case";
        EXPECT_FALSE(listing.MarkMet(L"/b.htm"));
        EXPECT_TRUE(listing.MarkMet(L"/other.htm")) << "a path no entry names is remembered too";
        EXPECT_FALSE(listing.MarkMet(L"/OTHER.htm"));
        std::vector<size_t> unmet;
        for (size_t index = listing.NextUnmet(); index < listing.Count(); index = listing.NextUnmet()) {
            unmet.push_back(index);
            const std::wstring asWalked[] = {
                L"/a.htm", L"", L"/\xFFFD.htm", L"", L"/\x00E9.htm", L"/\x00C9.htm", L"/\x4E00.htm", L"/\x4E01.htm"};
            EXPECT_TRUE(listing.MarkMet(asWalked[index]));
            EXPECT_FALSE(listing.MarkMet(asWalked[index]));
        }
        EXPECT_EQ((std::vector<size_t>{0, 2, 4, 5, 6, 7}), unmet);
        EXPECT_EQ(listing.Count(), listing.NextUnmet());
    }
}
}  // namespace
