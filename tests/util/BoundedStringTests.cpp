#include <gtest/gtest.h>

#include <string>

#include "util/strings/BoundedString.h"

namespace {

constexpr wchar_t kUntouched = L'#';
constexpr size_t kBuffer = 8;

struct CopyCase {
    const char* name;
    const wchar_t* src;
    size_t capacity;
    const wchar_t* want;  // nullptr: nothing written
    HRESULT hr;
};

TEST(BoundedCopy, Table)
{
    const CopyCase cases[] = {
        {"fits", L"abc", 4, L"abc", S_OK},
        {"roomy", L"abc", 8, L"abc", S_OK},
        {"one short", L"abc", 3, L"ab", kInsufficientBuffer},
        {"capacity one", L"abc", 1, L"", kInsufficientBuffer},
        {"empty into one", L"", 1, L"", S_OK},
        {"capacity zero", L"abc", 0, nullptr, E_INVALIDARG},
        {"capacity above limit", L"abc", size_t(0x80000000u), nullptr, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[kBuffer];
        std::fill(buffer, buffer + kBuffer, kUntouched);
        EXPECT_EQ(c.hr, BoundedCopy(buffer, c.capacity, c.src));
        if (c.want) {
            EXPECT_STREQ(c.want, buffer);
        } else {
            EXPECT_EQ(kUntouched, buffer[0]);
        }
        // Nothing at or past the capacity is ever written.
        for (size_t i = c.capacity; i < kBuffer; ++i)
            EXPECT_EQ(kUntouched, buffer[i]) << "index " << i;
    }
}

struct LengthCase {
    const char* name;
    const wchar_t* str;
    size_t capacity;
    size_t want;
    HRESULT hr;
};

TEST(BoundedLength, Table)
{
    const wchar_t unterminated[3] = {L'a', L'b', L'c'};
    const LengthCase cases[] = {
        {"capacity minus one", L"abc", 4, 3, S_OK},
        {"roomy", L"abc", 100, 3, S_OK},
        {"empty", L"", 1, 0, S_OK},
        {"exactly capacity, no terminator", unterminated, 3, 0, E_INVALIDARG},
        {"capacity zero", L"abc", 0, 0, E_INVALIDARG},
        {"capacity above limit", L"abc", size_t(0x80000000u), 0, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t length = 12345;
        EXPECT_EQ(c.hr, BoundedLength(c.str, c.capacity, &length));
        EXPECT_EQ(c.want, length);
        EXPECT_EQ(c.hr, BoundedLength(c.str, c.capacity, nullptr));
    }
}

struct AppendCase {
    const char* name;
    const wchar_t* start;  // nullptr: buffer full of non-terminators
    size_t capacity;
    const wchar_t* src;
    const wchar_t* want;  // nullptr: unchanged
    HRESULT hr;
};

TEST(BoundedAppend, Table)
{
    const AppendCase cases[] = {
        {"fits", L"ab", 5, L"cd", L"abcd", S_OK},
        {"cut", L"ab", 4, L"cd", L"abc", kInsufficientBuffer},
        {"already full", L"abc", 4, L"d", L"abc", kInsufficientBuffer},
        {"empty source", L"abc", 4, L"", L"abc", S_OK},
        {"no terminator", nullptr, 4, L"d", nullptr, E_INVALIDARG},
        {"capacity zero", L"", 0, L"d", nullptr, E_INVALIDARG},
        {"capacity above limit", L"", size_t(0x80000000u), L"d", nullptr, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[kBuffer];
        std::fill(buffer, buffer + kBuffer, kUntouched);
        if (c.start)
            std::copy(c.start, c.start + wcslen(c.start) + 1, buffer);
        const std::wstring before(buffer, buffer + kBuffer);
        EXPECT_EQ(c.hr, BoundedAppend(buffer, c.capacity, c.src));
        if (c.want) {
            EXPECT_STREQ(c.want, buffer);
            for (size_t i = c.capacity; i < kBuffer; ++i)
                EXPECT_EQ(kUntouched, buffer[i]) << "index " << i;
        } else {
            EXPECT_EQ(before, std::wstring(buffer, buffer + kBuffer));
        }
    }
}

}  // namespace
