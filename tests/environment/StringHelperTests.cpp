#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment/CFindString.h"
#include "environment/CQuickStringW.h"
#include "environment/ParseUnsigned.h"

namespace {

TEST(ParseUnsigned, Table)
{
    struct Case {
        const wchar_t* text;
        BOOL ok;
        DWORD value;
    };
    const Case cases[] = {
        {L"7.0.5730", TRUE, 7},
        {L"  42 \t", TRUE, 42},
        {L"4x", FALSE, 4},
        {L"", TRUE, 0},
        {L"   ", TRUE, 0},
        {L"00", TRUE, 0},
        {L"2180", TRUE, 2180},
        {L"4 2", FALSE, 4},
        {L"-1", FALSE, 0},
        {L".5", TRUE, 0},
        {L"4294967295", TRUE, 0xFFFFFFFFu},
        {L"4294967296", TRUE, 0},  // wraps
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text \"" << std::string(c.text, c.text + wcslen(c.text)) << "\"");
        DWORD value = 99;
        EXPECT_EQ(c.ok, ParseUnsigned(c.text, &value));
        EXPECT_EQ(c.value, value);
    }
    DWORD value = 99;
    EXPECT_FALSE(ParseUnsigned(nullptr, &value));
    EXPECT_EQ(99u, value);
    EXPECT_FALSE(ParseUnsigned(L"1", nullptr));
}

TEST(QuickString, AllocateAndAssign)
{
    CQuickStringW s;
    EXPECT_EQ(nullptr, s.Buffer());
    EXPECT_EQ(0, s.Capacity());
    ASSERT_TRUE(s.Assign(L"abc"));
    EXPECT_STREQ(L"abc", s.Buffer());
    EXPECT_EQ(3, s.Capacity());
    EXPECT_TRUE(s.Assign(nullptr));
    EXPECT_EQ(nullptr, s.Buffer());
    EXPECT_EQ(0, s.Capacity());
    EXPECT_FALSE(s.Allocate(0x7FFFFFFF));  // one more for the terminator does not fit
    EXPECT_EQ(nullptr, s.Buffer());
    EXPECT_EQ(0, s.Capacity());
    ASSERT_TRUE(s.Assign(L"abcdef"));
    ASSERT_TRUE(s.Assign(s.Buffer() + 2));  // from its own buffer
    EXPECT_STREQ(L"cdef", s.Buffer());
}

std::vector<std::wstring> Tokens(const wchar_t* text, const wchar_t* delimiter)
{
    CFindString find(text);
    CQuickStringW token;
    std::vector<std::wstring> tokens;
    if (!find.SplitBy(delimiter, &token))
        return tokens;
    do
        tokens.emplace_back(token.Text());
    while (find.NextToken(&token));
    return tokens;
}

TEST(FindString, Tokens)
{
    using V = std::vector<std::wstring>;
    struct Case {
        const wchar_t* text;
        const wchar_t* delimiter;
        V want;
    };
    const Case cases[] = {
        {L"6.0.2900.2180", L".", V{L"6", L"0", L"2900", L"2180"}},
        {L"4.00.", L".", V{L"4", L"00"}},
        {L"1..2", L".", V{L"1", L"", L"2"}},
        {L"no delimiter", L".", V{L"no delimiter"}},
        {L"a.b", L"", V{L"a.b"}},
        {L"oneXXtwoxxthree", L"xx", V{L"one", L"two", L"three"}},  // the delimiter ignores case
        {L"", L".", V{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        EXPECT_EQ(c.want, Tokens(c.text, c.delimiter));
    }

    // The token after the last one is refused and leaves the output as it was.
    CFindString find(L"6.0");
    CQuickStringW token;
    ASSERT_TRUE(find.SplitBy(L".", &token));
    ASSERT_TRUE(find.NextToken(&token));
    EXPECT_FALSE(find.NextToken(&token));
    EXPECT_STREQ(L"0", token.Text());
    EXPECT_FALSE(find.NextToken(nullptr));
}

TEST(FindString, Find)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* sub;
        BOOL caseSensitive;
        int want;
    };
    const Case cases[] = {
        {L"55274-OEM-0011903", L"oem", FALSE, 6},
        {L"55274-OEM-0011903", L"oem", TRUE, -1},
        {L"55274-OEM-0011903", L"OEM", TRUE, 6},
        {L"ab", L"abc", FALSE, -1},
        {L"abc", L"", FALSE, -1},
        {L"", L"a", FALSE, -1},
        {L"abc", nullptr, FALSE, -1},
        {L"Small Business", L"business", FALSE, 6},
        {L"BackOffice", L"Office", FALSE, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)) << " / "
                                        << (c.sub ? std::string(c.sub, c.sub + wcslen(c.sub)) : "null"));
        EXPECT_EQ(c.want, CFindString(c.text).Find(c.sub, c.caseSensitive));
    }
}

}  // namespace
