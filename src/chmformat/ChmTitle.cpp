#include "chmformat/ChmTitle.h"

#include "chmformat/ChmBytes.h"

namespace {
constexpr WORD kTitleRecord = 3;
constexpr WORD kLanguageRecord = 4;

// The ANSI code page that text of the locale uses, when it is installed here;
// CP_ACP otherwise.
UINT AnsiCodePageOfLocale(LCID locale)
{
    DWORD codePage = 0;
    if (!GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&codePage),
                        sizeof(codePage) / sizeof(wchar_t)))
        return CP_ACP;
    // Locales written only in Unicode report 0.
    if (codePage == 0 || codePage > 0xFFFF || !IsValidCodePage(codePage))
        return CP_ACP;
    return codePage;
}
}  // namespace

bool DecodeChmTitle(const BYTE* data, size_t size, size_t capacity, ChmTitle& title)
{
    title = ChmTitle();
    if (!data || capacity == 0)
        return false;
    const BYTE* text = nullptr;
    UINT codePage = CP_ACP;
    bool languageSeen = false;
    for (size_t offset = 4; offset < size;) {
        if (size - offset < 4)
            break;
        const WORD code = ChmWord(data + offset);
        const size_t length = ChmWord(data + offset + 2);
        if (size - offset - 4 < length)
            break;
        const BYTE* record = data + offset + 4;
        if (code == kTitleRecord && !text)
            text = record;
        if (code == kLanguageRecord && !languageSeen && length >= 4) {
            languageSeen = true;
            title.language = ChmDword(record);
            codePage = AnsiCodePageOfLocale(title.language);
        }
        offset += 4 + length;
    }
    if (!text)
        return false;

    // Up to the first NUL, at the latest the end of the stream.
    const size_t available = size - static_cast<size_t>(text - data);
    size_t length = 0;
    while (length < available && text[length])
        ++length;
    if (length == 0)
        return true;
    if (length > 0x7FFFFFFF)
        return false;
    const int needed =
        MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(text), static_cast<int>(length), nullptr, 0);
    if (needed <= 0 || static_cast<size_t>(needed) > capacity - 1)
        return false;
    title.text.resize(static_cast<size_t>(needed));
    const int written = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(text), static_cast<int>(length),
                                            &title.text[0], needed);
    if (written <= 0) {
        title.text.clear();
        return false;
    }
    title.text.resize(static_cast<size_t>(written));
    return true;
}
