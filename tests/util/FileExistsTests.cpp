#include <gtest/gtest.h>

#include <string>

#include "support/ScratchFolder.h"
#include "util/paths/FileExists.h"
#include "util/owners/UniqueHandle.h"

namespace {

// A path of exactly `length` characters naming a file inside `folder`.
std::wstring PathOfLength(const ScratchFolder& folder, size_t length)
{
    const std::wstring prefix = folder.Path() + L"\\";
    return prefix + std::wstring(length - prefix.size(), L'n');
}

TEST(FileExists, Table)
{
    ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"page.htm", "x");
    const std::wstring sub = folder.MakeFolder(L"sub");
    const std::wstring missing = folder / L"missing.htm";
    const std::wstring wildcard = folder / L"page.*";
    const std::wstring verbatim = L"\\\\?\\" + file;
    const std::wstring verbatimFolder = L"\\\\?\\" + sub;
    const std::wstring verbatimWildcard = L"\\\\?\\" + folder.Path() + L"\\pag?.htm";
    const std::wstring uncWildcard = L"\\\\?\\UNC\\server\\share\\*.chm";
    // Both long files really exist; the 260-character one can only be made
    // through the long-path prefix.
    const std::wstring at259 = PathOfLength(folder, 259);
    const std::wstring at260 = PathOfLength(folder, 260);
    folder.WriteFile(at259.substr(folder.Path().size() + 1), "x");
    {
        UniqueHandle made(CreateFileW((L"\\\\?\\" + at260).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(made);
    }

    struct Case {
        const char* name;
        const wchar_t* path;
        BOOL want;
    };
    const Case cases[] = {
        {"existing file", file.c_str(), TRUE},
        {"existing folder", sub.c_str(), FALSE},
        {"missing file", missing.c_str(), FALSE},
        {"empty", L"", FALSE},
        {"null", nullptr, FALSE},
        {"259 characters, existing", at259.c_str(), TRUE},
        {"260 characters", at260.c_str(), FALSE},
        {"wildcard matching a file", wildcard.c_str(), FALSE},
        {"verbatim prefix", verbatim.c_str(), TRUE},
        {"verbatim prefix, folder", verbatimFolder.c_str(), FALSE},
        {"verbatim prefix, then a wildcard", verbatimWildcard.c_str(), FALSE},
        {"verbatim UNC prefix, then a wildcard", uncWildcard.c_str(), FALSE},
        {"verbatim prefix alone", L"\\\\?\\", FALSE},
        {"verbatim UNC prefix alone", L"\\\\?\\UNC\\", FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.want, FileExists(c.path));
    }
}

TEST(FileExists, UnterminatedBeyondLimitIsMissing)
{
    std::wstring noEnd(400, L'a');  // longer than any path it will accept
    EXPECT_FALSE(FileExists(noEnd.c_str()));
}

}  // namespace
