#include "DeclaredCharset.h"

#include <cstdlib>
#include <cstring>

#include "util/owners/RegKey.h"

namespace {
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerTrim(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsSpace(text[first]))
        ++first;
    while (last > first && IsSpace(text[last - 1]))
        --last;
    std::string out;
    for (size_t i = first; i < last; ++i)
        out += Lower(text[i]);
    return out;
}

bool StartsWithNoCase(const char* at, const char* end, const char* word)
{
    for (; *word; ++word, ++at) {
        if (at >= end || Lower(*at) != *word)
            return false;
    }
    return true;
}

// "text/html; charset=windows-1251" gives "windows-1251".
std::string CharsetOfContentType(const std::string& content)
{
    const std::string lower = LowerTrim(content);
    const size_t at = lower.find("charset");
    if (at == std::string::npos)
        return {};
    size_t i = at + 7;
    while (i < lower.size() && IsSpace(lower[i]))
        ++i;
    if (i >= lower.size() || lower[i] != '=')
        return {};
    ++i;
    while (i < lower.size() && (IsSpace(lower[i]) || lower[i] == '"' || lower[i] == '\''))
        ++i;
    size_t end = i;
    while (end < lower.size() && !IsSpace(lower[end]) && lower[end] != ';' && lower[end] != '"' &&
           lower[end] != '\'')
        ++end;
    return lower.substr(i, end - i);
}

struct CharsetName {
    const char* name;
    UINT codePage;
};

// Names pages use, including the aliases browsers accept. Latin-1 and ASCII
// are read as Windows-1252, as browsers read them.
const CharsetName kCharsets[] = {
    {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001},
    {"us-ascii", 1252}, {"ascii", 1252}, {"iso-8859-1", 1252}, {"iso8859-1", 1252}, {"latin1", 1252},
    {"l1", 1252}, {"iso_8859-1", 1252}, {"cp819", 1252},
    {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"x-sjis", 932}, {"ms_kanji", 932},
    {"windows-31j", 932}, {"csshiftjis", 932},
    {"gb2312", 936}, {"gbk", 936}, {"x-gbk", 936}, {"csgb2312", 936}, {"chinese", 936}, {"gb18030", 54936},
    {"big5", 950}, {"big5-hkscs", 950}, {"cn-big5", 950}, {"x-x-big5", 950},
    {"euc-kr", 949}, {"ks_c_5601-1987", 949}, {"korean", 949}, {"cseuckr", 949},
    {"euc-jp", 20932}, {"x-euc-jp", 20932}, {"iso-2022-jp", 50220}, {"csiso2022jp", 50220},
    {"koi8-r", 20866}, {"koi8r", 20866}, {"koi8-u", 21866}, {"koi8-ru", 21866},
    {"tis-620", 874}, {"iso-8859-11", 874}, {"windows-874", 874},
    {"macintosh", 10000}, {"x-mac-roman", 10000}, {"mac", 10000},
    {"utf-16", 65001}, {"utf-16le", 65001}, {"utf-16be", 65001},  // only meaningful with a byte-order mark
};

UINT NumberAfter(const std::string& name, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    if (name.compare(0, length, prefix) != 0 || name.size() == length || name.size() > length + 5)
        return 0;
    for (size_t i = length; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
    }
    return static_cast<UINT>(std::strtoul(name.c_str() + length, nullptr, 10));
}

UINT KnownCodePage(const std::string& name)
{
    for (const auto& entry : kCharsets) {
        if (name == entry.name)
            return entry.codePage;
    }
    if (UINT n = NumberAfter(name, "windows-"))
        return n;
    if (UINT n = NumberAfter(name, "x-cp"))
        return n;
    if (UINT n = NumberAfter(name, "cp"))
        return n;
    if (UINT n = NumberAfter(name, "ibm"))
        return n;
    if (UINT n = NumberAfter(name, "iso-8859-"))
        return n <= 16 ? 28590 + n : 0;
    if (UINT n = NumberAfter(name, "iso8859-"))
        return n <= 16 ? 28590 + n : 0;
    return 0;
}

// The system's MIME database knows the names the platform itself supports.
UINT MimeDatabaseCodePage(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return 0;
    std::wstring key = L"MIME\\Database\\Charset\\";
    for (char c : name)
        key += static_cast<wchar_t>(static_cast<unsigned char>(c));
    for (int hop = 0; hop < 4; ++hop) {
        RegKey charset;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, charset.put()) != ERROR_SUCCESS)
            return 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        DWORD type = 0;
        if (RegQueryValueExW(charset.get(), L"InternetEncoding", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            return value;
        wchar_t alias[65] = {};
        size = sizeof(alias) - sizeof(wchar_t);
        if (RegQueryValueExW(charset.get(), L"AliasForCharset", nullptr, &type, reinterpret_cast<BYTE*>(alias),
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return 0;
        key = std::wstring(L"MIME\\Database\\Charset\\") + alias;
    }
    return 0;
}
}

std::string FindDeclaredCharset(const char* bytes, size_t length)
{
    const char* end = bytes + length;
    const char* at = bytes;
    while (at < end) {
        at = static_cast<const char*>(std::memchr(at, '<', static_cast<size_t>(end - at)));
        if (!at)
            break;
        if (StartsWithNoCase(at, end, "<!--")) {
            const char* close = at + 4;
            while (close + 2 < end && !(close[0] == '-' && close[1] == '-' && close[2] == '>'))
                ++close;
            at = close + 3;
            continue;
        }
        if (StartsWithNoCase(at, end, "<body"))
            break;
        if (!StartsWithNoCase(at, end, "<meta") || at + 5 >= end || !(IsSpace(at[5]) || at[5] == '/')) {
            ++at;
            continue;
        }
        // Attributes of the meta tag, up to its '>'.
        at += 5;
        std::string httpEquiv;
        std::string content;
        std::string charset;
        while (at < end && *at != '>') {
            if (IsSpace(*at) || *at == '/') {
                ++at;
                continue;
            }
            std::string name;
            while (at < end && !IsSpace(*at) && *at != '=' && *at != '>' && *at != '/')
                name += Lower(*at++);
            while (at < end && IsSpace(*at))
                ++at;
            std::string value;
            if (at < end && *at == '=') {
                ++at;
                while (at < end && IsSpace(*at))
                    ++at;
                if (at < end && (*at == '"' || *at == '\'')) {
                    const char quote = *at++;
                    while (at < end && *at != quote)
                        value += *at++;
                    if (at < end)
                        ++at;
                } else {
                    while (at < end && !IsSpace(*at) && *at != '>')
                        value += *at++;
                }
            }
            if (name == "http-equiv")
                httpEquiv = LowerTrim(value);
            else if (name == "content")
                content = value;
            else if (name == "charset")
                charset = LowerTrim(value);
        }
        if (!charset.empty())
            return charset;
        if (httpEquiv == "content-type") {
            std::string declared = CharsetOfContentType(content);
            if (!declared.empty())
                return declared;
        }
    }
    return {};
}

UINT CodePageOfCharset(const std::string& charset)
{
    const std::string name = LowerTrim(charset);
    UINT codePage = KnownCodePage(name);
    if (codePage == 0)
        codePage = MimeDatabaseCodePage(name);
    if (codePage == 0 || !IsValidCodePage(codePage))
        return 0;
    return codePage;
}
