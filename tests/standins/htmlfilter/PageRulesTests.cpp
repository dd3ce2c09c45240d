// The reference page filter on small pages, one rule per row.
#include <gtest/gtest.h>

#include <filterr.h>

#include <string>
#include <vector>

#include "htmlfilter/ReferenceFilterIds.h"
#include "PageFilterRun.h"
#include "support/ScratchFolder.h"

using namespace std::string_literals;

namespace {
struct Want {
    CHUNK_BREAKTYPE breakType;
    const char* property;
    std::wstring content;
};

struct PageCase {
    const char* rule;
    const wchar_t* name;
    std::string bytes;
    std::vector<Want> want;
};

std::string Utf16(const std::wstring& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF"s : "\xFF\xFE"s;
    for (wchar_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

void ExpectChunks(const std::vector<SeenChunk>& seen, const std::vector<Want>& want)
{
    ASSERT_EQ(want.size(), seen.size()) << "joined text: " << testing::PrintToString(JoinedText(seen));
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("chunk " + std::to_string(i + 1));
        EXPECT_EQ(want[i].breakType, seen[i].breakType);
        EXPECT_EQ(want[i].property, seen[i].property);
        EXPECT_EQ(want[i].content, seen[i].content);
    }
}

const std::wstring kAnsiEacute = [] {
    // What the system's ANSI code page makes of the byte 0xE9.
    wchar_t c = 0;
    MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &c, 1);
    return std::wstring(1, c);
}();
}

TEST(PageRules, TableOfPages)
{
    const std::vector<PageCase> cases = {
        {"title and body", L"a.htm",
         "<html><head><title>My  Page</title></head><body><p>Hello</p></body></html>",
         {{CHUNK_EOC, "text", L"My Page"}, {CHUNK_EOP, "text", L"Hello"}}},
        {"script, style and comments give nothing", L"a.htm",
         "<p>one <script>var a = \"</p>\"; if (a<b) {}</script >two<style>p { }</style> three<!-- four --> "
         "five<!----> six<!-- a -- b --></p>",
         {{CHUNK_EOC, "text", L"one two three five six"}}},
        {"character references", L"a.htm",
         "&amp; &lt;&gt; &quot;&apos; &eacute; &#233; &#xE9; &#x1F600; &#150; &copy 2 &AMP; &unknown; & alone &#; "
         "&#xD800; &#0; &#99999999999;",
         {{CHUNK_EOC, "text",
           L"& <> \"' \u00E9 \u00E9 \u00E9 \U0001F600 \u2013 \u00A9 2 & &unknown; & alone &#; \uFFFD \uFFFD \uFFFD"}}},
        {"white space collapses and trims", L"a.htm", "  a \t\n b  \r\n  c  \f",
         {{CHUNK_EOC, "text", L"a b c"}}},
        {"blocks end chunks, cells and line breaks separate words, inline elements join", L"a.htm",
         "one<p>two</p>three<br>four<div>fi<b>v</b>e</div><li>six<td>seven</td><td>eight<h2>nine</h2>",
         {{CHUNK_EOC, "text", L"one"},
          {CHUNK_EOP, "text", L"two"},
          {CHUNK_EOP, "text", L"three four"},
          {CHUNK_EOP, "text", L"five"},
          {CHUNK_EOP, "text", L"six seven eight"},
          {CHUNK_EOP, "text", L"nine"}}},
        {"meta tags: summary properties and named properties", L"a.htm",
         "<meta name=\"Author\" content=\" Ann   Lee \"><meta name=subject content='Sub'>"
         "<meta name=\"KEYWORDS\" content=\"a, b\"><meta name=\"robots\" content=\"noindex\">"
         "<meta name=\"description\" content=\"Desc &amp; more\"><meta content=\"x\" name=\"Generator\">"
         "<meta http-equiv=\"refresh\" content=\"5\"><meta name=\"empty\"><meta charset=\"utf-8\">"
         "<meta name=\"a\" name=\"b\" content=\"first name counts\">text",
         {{CHUNK_EOC, "author", L"Ann Lee"},
          {CHUNK_EOW, "subject", L"Sub"},
          {CHUNK_EOW, "keywords", L"a, b"},
          {CHUNK_EOW, "robots", L"noindex"},
          {CHUNK_EOW, "description", L"Desc & more"},
          {CHUNK_EOW, "generator", L"x"},
          {CHUNK_EOW, "a", L"first name counts"},
          {CHUNK_EOW, "text", L"text"}}},
        {"title keeps markup as text and needs its own end tag", L"a.htm",
         "<title>a <b> &amp; c</titles> d</TITLE>after",
         {{CHUNK_EOC, "text", L"a <b> & c</titles> d"}, {CHUNK_EOP, "text", L"after"}}},
        {"stray less-than signs are text", L"a.htm", "x < y <3 and <> z <",
         {{CHUNK_EOC, "text", L"x < y <3 and <> z <"}}},
        {"NUL bytes are dropped", L"a.htm", "nu\0ll <p>o\0k</p>"s,
         {{CHUNK_EOC, "text", L"null"}, {CHUNK_EOP, "text", L"ok"}}},
        {"an unclosed tag swallows the rest", L"a.htm", "a <b unclosed and more", {{CHUNK_EOC, "text", L"a"}}},
        {"an unclosed comment swallows the rest", L"a.htm", "text<!-- never closed <p>x",
         {{CHUNK_EOC, "text", L"text"}}},
        {"an unclosed script swallows the rest", L"a.htm", "text<SCRIPT>never closed <p>x",
         {{CHUNK_EOC, "text", L"text"}}},
        {"declarations and processing instructions give nothing", L"a.htm",
         "<!DOCTYPE html><?xml version=\"1.0\"?><![CDATA[x]]>body", {{CHUNK_EOC, "text", L"body"}}},
        {"a page without text gives no chunk", L"a.htm", "<html><head></head><body> </body></html>", {}},
        {"plain text keeps its text as it stands", L"a.txt", "line one\r\n  line <b>two</b> &amp;\r\n",
         {{CHUNK_EOC, "text", L"line one\r\n  line <b>two</b> &amp;\r\n"}}},

        {"UTF-8 byte-order mark", L"a.htm", "\xEF\xBB\xBF<p>\xC3\xA9t\xC3\xA9</p>",
         {{CHUNK_EOC, "text", L"\u00E9t\u00E9"}}},
        {"UTF-16 little-endian byte-order mark", L"a.htm", Utf16(L"<p>\u00E9t\u00E9 \u65E5</p>", false),
         {{CHUNK_EOC, "text", L"\u00E9t\u00E9 \u65E5"}}},
        {"UTF-16 big-endian byte-order mark", L"a.htm", Utf16(L"<p>\u00E9t\u00E9 \u65E5</p>", true),
         {{CHUNK_EOC, "text", L"\u00E9t\u00E9 \u65E5"}}},
        {"a byte-order mark wins over a declared charset", L"a.htm",
         "\xEF\xBB\xBF<meta charset=\"windows-1251\"><p>\xC3\xA9</p>", {{CHUNK_EOC, "text", L"\u00E9"}}},
        {"meta charset", L"a.htm", "<meta charset=\"windows-1251\"><p>\xCF\xF0\xE8\xE2\xE5\xF2</p>",
         {{CHUNK_EOC, "text", L"\u041F\u0440\u0438\u0432\u0435\u0442"}}},
        {"http-equiv Content-Type", L"a.htm",
         "<!-- <meta charset=\"utf-8\"> --><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=Shift_JIS\"><p>\x93\xFA\x96\x7B</p>",
         {{CHUNK_EOC, "text", L"\u65E5\u672C"}}},
        {"declared UTF-8", L"a.htm", "<meta charset=utf-8><p>caf\xC3\xA9</p>", {{CHUNK_EOC, "text", L"caf\u00E9"}}},
        {"an unknown charset falls back to the ANSI code page", L"a.htm",
         "<meta charset=\"x-no-such-charset\"><p>\xE9</p>", {{CHUNK_EOC, "text", kAnsiEacute}}},
        {"no declaration: the ANSI code page", L"a.htm", "<p>\xE9</p>", {{CHUNK_EOC, "text", kAnsiEacute}}},
        {"plain text: the ANSI code page, or its byte-order mark", L"a.txt", "\xEF\xBB\xBF\xC3\xA9 \xE2\x82\xAC",
         {{CHUNK_EOC, "text", L"\u00E9 \u20AC"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ScratchFolder scratch;
        const std::wstring path = scratch.WriteFile(c.name, c.bytes);
        const bool html = std::wstring(c.name).find(L".txt") == std::wstring::npos;
        ExpectChunks(RunPageFilter(path, html), c.want);
    }
}

// Long runs are cut into bounded chunks; joined again they give the page's text.
TEST(PageRules, LongTextIsCutIntoBoundedChunks)
{
    ScratchFolder scratch;
    std::string words;
    while (words.size() < 30000)
        words += "word" + std::to_string(words.size()) + " ";
    const std::string longWord(10000, 'x');
    const auto wordChunks = RunPageFilter(scratch.WriteFile(L"words.htm", "<p>" + words + "</p>"), true, 4096);
    ASSERT_GT(wordChunks.size(), 7u);
    for (size_t i = 1; i < wordChunks.size(); ++i)
        EXPECT_EQ(CHUNK_EOW, wordChunks[i].breakType) << "cut " << i << " splits a word";
    std::wstring expected(words.begin(), words.end() - 1);
    EXPECT_EQ(expected, JoinedText(wordChunks));

    const auto wordPieces = RunPageFilter(scratch.WriteFile(L"word.htm", longWord), true, 4096);
    ASSERT_EQ(3u, wordPieces.size());
    EXPECT_EQ(CHUNK_NO_BREAK, wordPieces[1].breakType);
    std::wstring joined;
    for (const auto& chunk : wordPieces)
        joined += chunk.content;
    EXPECT_EQ(std::wstring(longWord.begin(), longWord.end()), joined);
}

// The file is read in blocks of 64 KB: a character whose bytes straddle two
// blocks must still decode.
TEST(PageRules, CharactersAcrossReadBlocks)
{
    struct BlockCase {
        const char* charset;
        std::string character;
        std::wstring want;
    };
    const BlockCase cases[] = {
        {"shift_jis", "\x93\xFA", L"\u65E5"},
        {"utf-8", "\xE6\x97\xA5", L"\u65E5"},
        {"utf-8", "\xF0\x9F\x98\x80", L"\U0001F600"},
        {"big5", "\xA4\xE9", L"\u65E5"},
    };
    constexpr size_t kBlock = 64 * 1024;
    for (const auto& c : cases) {
        for (size_t before = 1; before < c.character.size(); ++before) {
            SCOPED_TRACE(std::string(c.charset) + ", split after byte " + std::to_string(before));
            const std::string head = "<meta charset=\"" + std::string(c.charset) + "\"><p>";
            std::string page = head + std::string(kBlock - head.size() - before, 'a') + c.character + "b</p>";
            ScratchFolder scratch;
            const auto chunks = RunPageFilter(scratch.WriteFile(L"p.htm", page), true, 4096);
            std::wstring text;
            for (const auto& chunk : chunks)
                text += chunk.content;
            ASSERT_GE(text.size(), c.want.size() + 1);
            EXPECT_EQ(c.want + L"b", text.substr(text.size() - c.want.size() - 1));
            EXPECT_EQ(std::wstring::npos, text.find(L'\uFFFD'));
        }
    }
}

// A 20 MB page without a single tag is filtered to its end in bounded chunks.
TEST(PageRules, HugePageWithoutTags)
{
    ScratchFolder scratch;
    const std::string line = "lorem ipsum dolor sit amet consectetur adipiscing elit\r\n";
    std::string page;
    page.reserve(20 * 1024 * 1024 + line.size());
    while (page.size() < 20 * 1024 * 1024)
        page += line;
    const auto chunks = RunPageFilter(scratch.WriteFile(L"huge.htm", page), true, 4096);
    size_t characters = 0;
    for (const auto& chunk : chunks)
        characters += chunk.content.size();
    const size_t lines = page.size() / line.size();
    // Each line's CR LF collapses to one space; one space is dropped at each cut.
    EXPECT_EQ(lines * (line.size() - 1) - 1 - (chunks.size() - 1), characters);
    EXPECT_GE(chunks.size(), characters / 4096);
}

// Attributes asked for in Init restrict the chunks to those properties; names
// match in any case.
TEST(PageRules, RequestedAttributesOnly)
{
    ScratchFolder scratch;
    const std::wstring path = scratch.WriteFile(
        L"a.htm", "<meta name=author content=Ann><meta name=keywords content=k><meta name=robots content=none><p>text</p>");
    FULLPROPSPEC author{};
    author.guidPropSet = kSummaryPropSet;
    author.psProperty.ulKind = PRSPEC_PROPID;
    author.psProperty.propid = kAuthorPropId;
    FULLPROPSPEC robots{};
    robots.guidPropSet = kHtmlMetaPropSet;
    robots.psProperty.ulKind = PRSPEC_LPWSTR;
    wchar_t robotsName[] = L"ROBOTS";
    robots.psProperty.lpwstr = robotsName;
    const auto chunks = RunPageFilter(path, true, 7, {author, robots});
    ASSERT_EQ(2u, chunks.size());
    EXPECT_EQ("author", chunks[0].property);
    EXPECT_EQ("robots", chunks[1].property);
    EXPECT_EQ(L"none", chunks[1].content);
}
