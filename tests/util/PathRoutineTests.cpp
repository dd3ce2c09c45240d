#include <gtest/gtest.h>

#include <string>

#include "environment/EnvironmentFacts.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "util/paths/AppendPath.h"
#include "util/paths/GetLongPath.h"
#include "util/strings/ReplaceChar.h"
#include "util/paths/SplitPath.h"

namespace {

constexpr DWORD kBefore471 = 0x00040046;
constexpr DWORD kVersion471 = 0x00040047;

TEST(AppendPath, OwnRule)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* component;
        BOOL ok;
        const wchar_t* want;
    };
    const Case cases[] = {
        {L"a", L"b", TRUE, L"a\\b"},
        {L"a\\", L"b", TRUE, L"a\\b"},
        {L"a/", L"b", TRUE, L"a/b"},
        {L"", L"b", TRUE, L"b"},
        {L"a", L"\\b", FALSE, L"a"},
        {L"a", L"/b", FALSE, L"a"},
        {L"a", L"", TRUE, L"a"},
        {L"a", L"..", TRUE, L"a\\.."},  // no canonicalisation
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.path, c.path + wcslen(c.path)) << " + "
                                        << std::string(c.component, c.component + wcslen(c.component)));
        wchar_t path[MAX_PATH];
        wcscpy(path, c.path);
        EXPECT_EQ(c.ok, AppendPath(path, c.component, kBefore471));
        EXPECT_STREQ(c.want, path);
    }
}

TEST(AppendPath, OwnRuleCutsAtTheBuffer)
{
    wchar_t path[MAX_PATH + 1];
    const std::wstring start(250, L'p');
    wcscpy(path, start.c_str());
    path[MAX_PATH] = L'#';
    EXPECT_TRUE(AppendPath(path, L"component-of-twenty..", kBefore471));
    EXPECT_EQ(start + L"\\componen", path);  // 259 characters and the terminator
    EXPECT_EQ(L'#', path[MAX_PATH]);
}

TEST(AppendPath, VersionChoosesTheRoutine)
{
    // The platform routine takes a leading separator and folds "..", the own
    // rule refuses the one and keeps the other: each result shows which ran.
    wchar_t platform[MAX_PATH] = L"a";
    EXPECT_TRUE(AppendPath(platform, L"\\b", kVersion471));
    EXPECT_STREQ(L"a\\b", platform);
    wchar_t own[MAX_PATH] = L"a";
    EXPECT_FALSE(AppendPath(own, L"\\b", kBefore471));

    // The recorded version is the one Wine's SHLWAPI reports, 4.71 or later.
    ASSERT_GE(g_shlwapiVersion, kVersion471);
    wchar_t recorded[MAX_PATH] = L"a\\b";
    EXPECT_TRUE(AppendPath(recorded, L".."));
    EXPECT_STREQ(L"a", recorded);

    EXPECT_FALSE(AppendPath(nullptr, L"b", kBefore471));
    wchar_t path[MAX_PATH] = L"a";
    EXPECT_FALSE(AppendPath(path, nullptr, kBefore471));
}

TEST(GetLongPath, EmptyAndBadArguments)
{
    for (BOOL platformCall : {TRUE, FALSE}) {
        SCOPED_TRACE(platformCall ? "GetLongPathNameW" : "shell parser");
        wchar_t out[MAX_PATH];
        wcscpy(out, L"stale");
        EXPECT_EQ(0u, GetLongPath(L"", out, MAX_PATH, platformCall));
        EXPECT_STREQ(L"", out);
        EXPECT_EQ(0u, GetLongPath(nullptr, out, MAX_PATH, platformCall));
        EXPECT_EQ(0u, GetLongPath(L"C:\\", nullptr, MAX_PATH, platformCall));
        EXPECT_EQ(0u, GetLongPath(L"C:\\", out, 0, platformCall));
    }
    wchar_t out[MAX_PATH] = L"stale";
    EXPECT_EQ(0u, GetLongPath(L"", out, MAX_PATH));
    EXPECT_STREQ(L"", out);
}

// The two routes answer a folder named with its closing separator differently:
// GetLongPathNameW keeps the separator, the shell's parser drops it. That
// difference shows which route ran.
enum class Route { Platform, Shell, Recorded };

std::wstring LongFormOfFolder(const std::wstring& folder, Route route)
{
    wchar_t out[MAX_PATH] = {};
    const std::wstring named = folder + L"\\";
    const DWORD length = route == Route::Recorded
                             ? GetLongPath(named.c_str(), out, MAX_PATH)
                             : GetLongPath(named.c_str(), out, MAX_PATH, route == Route::Platform);
    EXPECT_EQ(wcslen(out), length);
    return out;
}

TEST(GetLongPath, ExistingPathBothWays)
{
    ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"Long Folder Name\\long file name.html", "x");
    const std::wstring missing = folder / L"missing\\file.htm";
    for (BOOL platformCall : {TRUE, FALSE}) {
        SCOPED_TRACE(platformCall ? "GetLongPathNameW" : "shell parser");
        const std::wstring longFolder =
            LongFormOfFolder(folder / L"Long Folder Name", platformCall ? Route::Platform : Route::Shell);
        EXPECT_EQ(0, lstrcmpiW((folder / L"Long Folder Name" + (platformCall ? L"\\" : L"")).c_str(),
                               longFolder.c_str()))
            << Narrow(longFolder);
        wchar_t out[MAX_PATH] = {};
        EXPECT_EQ(file.size(), GetLongPath(file.c_str(), out, MAX_PATH, platformCall));
        EXPECT_EQ(0, lstrcmpiW(file.c_str(), out));

        // A buffer too small gives 0 and an empty output, never a cut path.
        wchar_t small[12 + 1];
        small[12] = L'#';
        EXPECT_EQ(0u, GetLongPath(file.c_str(), small, 12, platformCall));
        EXPECT_STREQ(L"", small);
        EXPECT_EQ(L'#', small[12]);

        EXPECT_EQ(0u, GetLongPath(missing.c_str(), out, MAX_PATH, platformCall));
    }
    // The recorded system (NT 6.1 under Wine) takes GetLongPathNameW.
    wchar_t out[MAX_PATH] = {};
    EXPECT_TRUE(AtLeastNT_5_0);
    EXPECT_EQ(file.size(), GetLongPath(file.c_str(), out, MAX_PATH));
    EXPECT_EQ(folder / L"Long Folder Name\\", LongFormOfFolder(folder / L"Long Folder Name", Route::Recorded));
}

TEST(SplitPath, Parts)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* drive;
        const wchar_t* directory;
        const wchar_t* name;
        const wchar_t* extension;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\bin\\mssdmn.exe", L"C:", L"\\Program Files\\bin\\", L"mssdmn", L".exe"},
        {L"C:/odd.name/Host.v2.EXE", L"C:", L"/odd.name/", L"Host.v2", L".EXE"},
        {L"filtdump", L"", L"", L"filtdump", L""},
        {L"C:name.dll", L"C:", L"", L"name", L".dll"},
        {L"\\\\?\\C:\\docs\\a.chm", L"", L"\\\\?\\C:\\docs\\", L"a", L".chm"},
        {L"folder\\", L"", L"folder\\", L"", L""},
        {L"", L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        wchar_t drive[4], directory[64], name[64], extension[16];
        ASSERT_TRUE(SplitPath(c.path, drive, 4, directory, 64, name, 64, extension, 16));
        EXPECT_STREQ(c.drive, drive);
        EXPECT_STREQ(c.directory, directory);
        EXPECT_STREQ(c.name, name);
        EXPECT_STREQ(c.extension, extension);
    }

    // Parts not wanted are passed as null; the others are still split.
    wchar_t name[8] = L"stale";
    EXPECT_TRUE(SplitPath(L"C:\\a\\host.exe", nullptr, 0, nullptr, 0, name, 8, nullptr, 0));
    EXPECT_STREQ(L"host", name);
    // A wanted part that does not fit fails the whole split and empties every wanted part.
    wchar_t directory[4] = L"old";
    EXPECT_FALSE(SplitPath(L"C:\\long\\host.exe", nullptr, 0, directory, 4, name, 8, nullptr, 0));
    EXPECT_STREQ(L"", directory);
    EXPECT_STREQ(L"", name);
    EXPECT_FALSE(SplitPath(L"C:\\a\\host.exe", nullptr, 0, nullptr, 0, name, 0, nullptr, 0));
    EXPECT_FALSE(SplitPath(nullptr, nullptr, 0, nullptr, 0, name, 8, nullptr, 0));
}

TEST(ReplaceChar, ReplacesEveryOccurrence)
{
    wchar_t text[] = L"a/b/c/";
    EXPECT_EQ(6u, ReplaceChar(text, L'/', L'\\'));
    EXPECT_STREQ(L"a\\b\\c\\", text);
    wchar_t none[] = L"abc";
    EXPECT_EQ(3u, ReplaceChar(none, L'x', L'y'));
    EXPECT_STREQ(L"abc", none);
    EXPECT_EQ(0u, ReplaceChar(nullptr, L'x', L'y'));
}

}  // namespace
