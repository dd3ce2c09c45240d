#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <set>
#include <string>

#include "registry/CRegistry.h"
#include "registry/ReadRegistryText.h"
#include "support/ScratchRegistry.h"
#include "util/owners/LocalBlock.h"
#include "util/owners/RegKey.h"

namespace {

const wchar_t kKey[] = L"Software\\RegistryTest";

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 m_key.put(), nullptr));
        SetString(L"", REG_SZ, L"default");
        SetString(L"text", REG_SZ, L"abc");
        SetString(L"expand", REG_EXPAND_SZ, L"%TEMP%\\x");
        SetBytes(L"multi", REG_MULTI_SZ, L"one\0two\0", 9 * sizeof(wchar_t));
        const DWORD number = 0x12345678;
        SetBytes(L"number", REG_DWORD, &number, sizeof(number));
        SetBytes(L"binary", REG_BINARY, "\x01\x02\x03", 3);
    }

    void SetString(const wchar_t* name, DWORD type, const wchar_t* text)
    {
        SetBytes(name, type, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    }
    void SetBytes(const wchar_t* name, DWORD type, const void* data, DWORD bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes));
    }

    ScratchRegistry m_scratch;
    RegKey m_key;
    CRegistry m_registry;
};

TEST_F(Registry, DefaultValueByNullAndEmptyName)
{
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L""}) {
        SCOPED_TRACE(name ? "empty name" : "null name");
        DWORD length = 0;
        ASSERT_TRUE(m_registry.QueryValueLength(name, &length));
        EXPECT_EQ(8u, length);
        wchar_t buffer[8] = {};
        ASSERT_TRUE(m_registry.ReadString(name, buffer, 8));
        EXPECT_STREQ(L"default", buffer);
    }
}

TEST_F(Registry, SizesAndLengths)
{
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    struct Case {
        const wchar_t* name;
        DWORD type;
        DWORD size;
        DWORD length;
    };
    const Case cases[] = {
        {L"text", REG_SZ, 8, 4},  // "abc" and its terminator
        {L"number", REG_DWORD, 4, 2},
        {L"binary", REG_BINARY, 3, 1},
        {L"multi", REG_MULTI_SZ, 18, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        DWORD type = 0, size = 0, length = 0;
        EXPECT_TRUE(m_registry.QueryValueType(c.name, &type));
        EXPECT_EQ(c.type, type);
        EXPECT_TRUE(m_registry.QueryValueSize(c.name, &size));
        EXPECT_EQ(c.size, size);
        EXPECT_TRUE(m_registry.QueryValueLength(c.name, &length));
        EXPECT_EQ(c.length, length);
    }
    DWORD value = 7;
    EXPECT_FALSE(m_registry.QueryValueSize(L"missing", &value));
    EXPECT_FALSE(m_registry.QueryValueType(L"missing", &value));
    EXPECT_EQ(7u, value);
}

TEST_F(Registry, TypedReadsRefuseOtherTypes)
{
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    struct Case {
        const wchar_t* name;
        bool dword, string, expandable;
    };
    const Case cases[] = {
        {L"text", false, true, true},
        {L"expand", false, false, true},
        {L"multi", false, true, false},
        {L"number", true, false, false},
        {L"binary", false, false, false},
        {L"missing", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        DWORD number = 0;
        wchar_t text[32] = {};
        BOOL expand = 5;
        EXPECT_EQ(c.dword, !!m_registry.ReadDword(c.name, &number));
        EXPECT_EQ(c.string, !!m_registry.ReadString(c.name, text, 32));
        EXPECT_EQ(c.expandable, !!m_registry.ReadExpandableString(c.name, text, &expand, 32));
        BYTE bytes[64] = {};
        EXPECT_EQ(std::wstring(c.name) != L"missing", !!m_registry.ReadBinary(c.name, bytes, sizeof(bytes)));
    }

    DWORD number = 0;
    ASSERT_TRUE(m_registry.ReadDword(L"number", &number));
    EXPECT_EQ(0x12345678u, number);

    wchar_t text[32] = {};
    BOOL expand = 5;
    ASSERT_TRUE(m_registry.ReadExpandableString(L"expand", text, &expand, 32));
    EXPECT_STREQ(L"%TEMP%\\x", text);
    EXPECT_EQ(TRUE, expand);
    ASSERT_TRUE(m_registry.ReadExpandableString(L"text", text, &expand, 32));
    EXPECT_STREQ(L"abc", text);
    EXPECT_EQ(FALSE, expand);
}

TEST_F(Registry, ReadsStayInsideTheBuffer)
{
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    // "abc" needs four characters with its terminator: three are refused and
    // nothing beyond them is touched.
    wchar_t text[6];
    wmemset(text, L'#', 6);
    EXPECT_FALSE(m_registry.ReadString(L"text", text, 3));
    EXPECT_EQ(L'#', text[3]);
    EXPECT_TRUE(m_registry.ReadString(L"text", text, 4));
    EXPECT_STREQ(L"abc", text);
    EXPECT_EQ(L'#', text[4]);

    BYTE bytes[3] = {};
    EXPECT_FALSE(m_registry.ReadValue(L"number", bytes, sizeof(bytes)));
    EXPECT_TRUE(m_registry.ReadValue(L"binary", bytes, sizeof(bytes)));
    EXPECT_EQ(3, bytes[2]);
    EXPECT_TRUE(m_registry.ReadValue(L"binary", nullptr, 0));  // only asks whether it can be sized
    EXPECT_FALSE(m_registry.ReadValue(L"missing", nullptr, 0));
    EXPECT_FALSE(m_registry.ReadDword(L"number", nullptr));
    EXPECT_FALSE(m_registry.ReadString(L"text", nullptr, 8));
}

TEST_F(Registry, OpenAndClose)
{
    CRegistry closed;
    DWORD size = 0;
    EXPECT_FALSE(closed.QueryValueSize(L"text", &size));
    EXPECT_FALSE(closed.QueryValueType(L"text", &size));
    closed.Close();  // safe without anything open
    closed.Close();

    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_STREQ(kKey, m_registry.SubKey());
    EXPECT_EQ(HKEY_LOCAL_MACHINE, m_registry.RootKey());

    // A null root or path is refused before anything is closed.
    EXPECT_FALSE(m_registry.Open(nullptr, L"Software"));
    EXPECT_FALSE(m_registry.Open(HKEY_LOCAL_MACHINE, nullptr));
    EXPECT_TRUE(m_registry.IsOpen());
    EXPECT_TRUE(m_registry.QueryValueSize(L"text", &size));

    // A failed open leaves nothing open, whatever was open before.
    EXPECT_FALSE(m_registry.Open(HKEY_LOCAL_MACHINE, L"Software\\NoSuchKey"));
    EXPECT_FALSE(m_registry.IsOpen());
    EXPECT_EQ(nullptr, m_registry.SubKey());
    EXPECT_FALSE(m_registry.QueryValueSize(L"text", &size));

    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    m_registry.Close();
    EXPECT_FALSE(m_registry.IsOpen());
    EXPECT_FALSE(m_registry.ReadValue(L"binary", nullptr, 0));
}

// A key that grants nothing but reading, as HKEY_LOCAL_MACHINE does to a user
// who is not an administrator: an open asking for any more is refused.
TEST_F(Registry, OpensAskForReadAccessOnly)
{
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                     &readOnly, nullptr));
    LocalBlock<void> owned(readOnly);
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, readOnly));
    RegKey refused;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_SET_VALUE, refused.put()))
        << "the platform does not enforce key security, so this test shows nothing";

    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    wchar_t text[8] = {};
    EXPECT_TRUE(m_registry.ReadString(L"text", text, 8));
    EXPECT_STREQ(L"abc", text);
    wchar_t name[32];
    EXPECT_TRUE(m_registry.EnumFirstValue(name, 32));

    // Open to all again, so the scratch tree goes away whole.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;WD)", SDDL_REVISION_1, &open,
                                                                     nullptr));
    LocalBlock<void> ownedOpen(open);
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, open));
}

TEST_F(Registry, TextReadsHoldTheirLimitAtItsEdge)
{
    // 4 characters with a terminator, and 5 with one, at a limit of 4. Without
    // a terminator (or with an odd byte) Wine counts one character more than
    // stored, so those are held at limits that leave no doubt.
    SetBytes(L"four", REG_SZ, L"abc", 4 * sizeof(wchar_t));
    SetBytes(L"bare", REG_SZ, L"abcd", 4 * sizeof(wchar_t));
    SetBytes(L"odd", REG_SZ, L"abcd", 4 * sizeof(wchar_t) + 1);
    SetBytes(L"five", REG_SZ, L"abcd", 5 * sizeof(wchar_t));
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    struct Case {
        const wchar_t* name;
        DWORD limit;
        const wchar_t* want;  // null: refused
    };
    const Case cases[] = {
        {L"four", 4, L"abc"},     {L"five", 4, nullptr},    {L"five", 5, L"abcd"},
        {L"five", 0, L"abcd"},    {L"five", 4096, L"abcd"}, {L"bare", 5, L"abcd"},
        {L"bare", 3, nullptr},    {L"odd", 5, L"abcd"},     {L"odd", 3, nullptr},
        {L"bare", 0, L"abcd"},    {L"missing", 4, nullptr}, {L"number", 4, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)) << " limit " << c.limit);
        wchar_t out[8];
        wmemset(out, L'#', 8);
        EXPECT_EQ(c.want ? TRUE : FALSE, ReadRegistryText(m_registry, c.name, out, 8, c.limit));
        if (c.want)
            EXPECT_STREQ(c.want, out);
        else
            EXPECT_EQ(L'#', out[0]);
    }
}

TEST_F(Registry, Enumeration)
{
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, kKey));
    std::set<std::wstring> seen;
    wchar_t name[32];
    for (BOOL more = m_registry.EnumFirstValue(name, 32); more; more = m_registry.EnumNextValue(name, 32))
        seen.insert(name);
    EXPECT_EQ((std::set<std::wstring>{L"", L"binary", L"expand", L"multi", L"number", L"text"}), seen);

    // No name longer than the buffer is returned: with room for three
    // characters only the default value's empty name fits.
    wchar_t small[4];
    int fitted = 0;
    for (BOOL more = m_registry.EnumFirstValue(small, 4); more; more = m_registry.EnumNextValue(small, 4))
        ++fitted;
    EXPECT_LE(fitted, 1);

    RegKey empty;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\RegistryTest\\Empty", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, empty.put(), nullptr));
    ASSERT_TRUE(m_registry.Open(HKEY_LOCAL_MACHINE, L"Software\\RegistryTest\\Empty"));
    EXPECT_FALSE(m_registry.EnumFirstValue(name, 32));
    EXPECT_FALSE(m_registry.EnumNextValue(name, 32));
}

}  // namespace
