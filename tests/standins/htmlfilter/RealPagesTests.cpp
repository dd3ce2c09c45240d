// The reference page filter on every page of two real help files, as
// extract_chmLib extracted them: the contract holds, the declared encodings are
// honoured, and the title and meta tags come out as written.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "PageFilterRun.h"
#include "htmlfilter/CHtmlScanner.h"
#include "support/FileBytes.h"
#include "support/FolderEntries.h"
#include "support/WinePath.h"

namespace {
void FindPages(const std::wstring& folder, std::vector<std::wstring>& pages)
{
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        const std::wstring name = entry.cFileName;
        if (IsFolder(entry)) {
            FindPages(folder + L"\\" + name, pages);
            continue;
        }
        const size_t dot = name.rfind(L'.');
        const std::wstring ext = dot == std::wstring::npos ? L"" : name.substr(dot);
        if (CompareStringOrdinal(ext.c_str(), -1, L".htm", -1, TRUE) == CSTR_EQUAL ||
            CompareStringOrdinal(ext.c_str(), -1, L".html", -1, TRUE) == CSTR_EQUAL)
            pages.push_back(folder + L"\\" + name);
    }
}

std::wstring Decode(const std::string& bytes, UINT codePage)
{
    std::wstring text(bytes.size(), L'\0');
    const int made = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                         static_cast<int>(text.size()));
    text.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return CHtmlScanner::Collapse(text);
}

std::string Lower(std::string text)
{
    for (auto& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

struct RealChm {
    const wchar_t* file;
    UINT codePage;
    wchar_t scriptLow;   // a range of characters of the help file's language
    wchar_t scriptHigh;
};

void CheckPages(const RealChm& chm)
{
    const std::wstring folder = FromUnix(TAVRINOLEX_CHM_EXTRACT) + L"\\" + chm.file;
    std::vector<std::wstring> pages;
    FindPages(folder, pages);
    if (pages.empty())
        GTEST_SKIP() << "no extracted pages in " << testing::PrintToString(folder)
                     << " (the shared CHM collection is absent)";

    const std::regex titleTag("<title>([^<&]*)</title>", std::regex::icase);
    const std::regex metaTag("<meta\\s+name\\s*=\\s*\"([^\"]*)\"\\s+content\\s*=\\s*\"([^\"&]*)\"\\s*/?>",
                             std::regex::icase);
    size_t withText = 0;
    size_t inScript = 0;
    for (const auto& page : pages) {
        SCOPED_TRACE(testing::PrintToString(page));
        const auto chunks = RunPageFilter(page, true, 1024);
        const std::string bytes = FileBytes(page);

        std::wstring text;
        std::vector<std::pair<std::string, std::wstring>> values;
        std::wstring firstText;
        for (const auto& chunk : chunks) {
            EXPECT_EQ(std::wstring::npos, chunk.content.find(L'\uFFFD')) << "badly decoded";
            if (chunk.isValue) {
                values.emplace_back(chunk.property, chunk.content);
            } else {
                if (firstText.empty())
                    firstText = chunk.content;
                text += chunk.content;
            }
        }
        if (!text.empty()) {
            ++withText;
            for (wchar_t c : text) {
                if (c >= chm.scriptLow && c <= chm.scriptHigh) {
                    ++inScript;
                    break;
                }
            }
        }

        std::smatch title;
        if (std::regex_search(bytes, title, titleTag)) {
            const std::wstring want = Decode(title[1], chm.codePage);
            if (!want.empty()) {
                EXPECT_EQ(want, firstText) << "the title is the page's first text";
            }
        }
        std::vector<std::pair<std::string, std::wstring>> metas;
        for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), metaTag); it != std::sregex_iterator(); ++it) {
            const std::string name = Lower((*it)[1]);
            if (!name.empty())
                metas.emplace_back(name, Decode((*it)[2], chm.codePage));
        }
        EXPECT_EQ(metas, values);
    }
    // Pages of a help file in one language mostly show that language's script.
    EXPECT_GE(inScript * 10, withText * 8) << inScript << " of " << withText << " pages";
}
}

TEST(RealPages, JapaneseHelpInShiftJis)
{
    CheckPages({L"tika__IMJPCL.CHM", 932, L'\u3040', L'\u9FFF'});
}

TEST(RealPages, RussianHelpInWindows1251)
{
    CheckPages({L"x3d__help-ru.chm", 1251, L'\u0400', L'\u04FF'});
}
