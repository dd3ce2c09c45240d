#include "DescribeResult.h"

#include <filterr.h>

#include <cstdio>

#include "Utf8.h"

namespace {
struct Named {
    HRESULT code;
    const char* name;
};

// Filter codes have no system message text.
const Named kFilterCodes[] = {
    {FILTER_E_END_OF_CHUNKS, "FILTER_E_END_OF_CHUNKS"},
    {FILTER_E_NO_MORE_TEXT, "FILTER_E_NO_MORE_TEXT"},
    {FILTER_E_NO_MORE_VALUES, "FILTER_E_NO_MORE_VALUES"},
    {FILTER_E_ACCESS, "FILTER_E_ACCESS: the filter cannot read the file"},
    {FILTER_E_EMBEDDING_UNAVAILABLE, "FILTER_E_EMBEDDING_UNAVAILABLE"},
    {FILTER_E_LINK_UNAVAILABLE, "FILTER_E_LINK_UNAVAILABLE"},
    {FILTER_E_NO_TEXT, "FILTER_E_NO_TEXT"},
    {FILTER_E_NO_VALUES, "FILTER_E_NO_VALUES"},
    {FILTER_E_PASSWORD, "FILTER_E_PASSWORD: the file is password protected"},
    {FILTER_E_UNKNOWNFORMAT, "FILTER_E_UNKNOWNFORMAT: the filter does not know this format"},
};
}

std::string DescribeResult(HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(hr));
    for (const auto& named : kFilterCodes) {
        if (named.code == hr)
            return std::string(code) + " " + named.name;
    }
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0,
                                        nullptr);
    std::string text;
    if (length > 0 && message) {
        std::wstring wide(message, length);
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
            wide.pop_back();
        for (auto& c : wide) {
            if (c == L'\r' || c == L'\n')
                c = L' ';
        }
        text = ToUtf8(wide);
    }
    if (message)
        LocalFree(message);
    return text.empty() ? code : std::string(code) + " (" + text + ")";
}
