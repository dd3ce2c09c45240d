#include "filter/ChmSystemTitle.h"

#include <cwchar>
#include <memory>

#include "chmformat/ChmBytes.h"
#include "crawler/CChmStorage.h"
#include "util/LocalBlock.h"

namespace {
constexpr WORD kTitleRecord = 3;
constexpr WORD kLanguageRecord = 4;
}

UINT AnsiCodePageOfLocale(LCID locale)
{
    DWORD codePage = 0;
    if (!GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(wchar_t)))
        return CP_ACP;
    // Locales written only in Unicode report 0.
    if (codePage == 0 || codePage > 0xFFFF || !IsValidCodePage(codePage))
        return CP_ACP;
    return codePage;
}

bool DecodeChmSystemTitle(const BYTE* data, size_t size, wchar_t* text, size_t capacity, LCID* declared)
{
    if (declared)
        *declared = 0;
    if (!data || !text || capacity == 0)
        return false;
    const BYTE* title = nullptr;
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
        if (code == kTitleRecord && !title)
            title = record;
        if (code == kLanguageRecord && !languageSeen && length >= 4) {
            languageSeen = true;
            const LCID locale = ChmDword(record);
            codePage = AnsiCodePageOfLocale(locale);
            if (declared)
                *declared = locale;
        }
        offset += 4 + length;
    }
    if (!title)
        return false;

    // Up to the first NUL, at the latest the end of the stream.
    const size_t available = size - static_cast<size_t>(title - data);
    size_t length = 0;
    while (length < available && title[length])
        ++length;
    if (length == 0) {
        text[0] = L'\0';
        return true;
    }
    if (length > 0x7FFFFFFF || capacity - 1 > 0x7FFFFFFF)
        return false;
    const int written = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(title),
                                            static_cast<int>(length), text, static_cast<int>(capacity - 1));
    if (written <= 0) {
        text[0] = L'\0';
        return false;
    }
    text[written] = L'\0';
    return true;
}

bool ReadChmSystemTitle(const wchar_t* path, wchar_t* text, size_t capacity, LCID* declared)
{
    if (declared)
        *declared = 0;
    CChmStorage storage;
    if (!path || FAILED(storage.Open(path, nullptr)))
        return false;
    constexpr size_t kNameCapacity = 2048;
    std::unique_ptr<wchar_t[]> name(new wchar_t[kNameCapacity]());
    std::unique_ptr<wchar_t[]> folder(new wchar_t[kNameCapacity]());
    // #SYSTEM lies at the root: the walk needs no other level.
    HRESULT hr = storage.First(name.get(), kNameCapacity, folder.get(), kNameCapacity, CChmStorage::Reach::Root);
    for (; hr == S_OK; hr = storage.Next(name.get(), kNameCapacity, folder.get(), kNameCapacity)) {
        CharUpperW(name.get());
        if (folder[0] == L'\0' && wcscmp(name.get(), L"#SYSTEM") == 0)
            break;
    }
    if (hr != S_OK)
        return false;
    LocalBlock<BYTE> block;
    DWORD size = 0;
    if (FAILED(storage.ReadCurrent(block.put(), &size)) || !block)
        return false;
    return DecodeChmSystemTitle(block.get(), size, text, capacity, declared);
}
