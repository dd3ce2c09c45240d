#include "DescribeResult.h"

#include <filterr.h>
#include <winerror.h>

#include <cstdio>

#include "Utf8.h"

namespace {
struct Named {
    HRESULT code;
    const char* name;
};

// Codes with no system message text, or none under Wine.
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
    // Signature checks: Wine has no text for most of them.
    {TRUST_E_NOSIGNATURE, "TRUST_E_NOSIGNATURE: not signed"},
    {TRUST_E_BAD_DIGEST, "TRUST_E_BAD_DIGEST: the file was changed after it was signed"},
    {CERT_E_UNTRUSTEDROOT, "CERT_E_UNTRUSTEDROOT: the signer's authority is not trusted here"},
    {CERT_E_CHAINING, "CERT_E_CHAINING: the signer's certificate leads to no trusted authority"},
    {CERT_E_EXPIRED, "CERT_E_EXPIRED: the signer's certificate has expired and the signature bears no timestamp"},
    {CERT_E_REVOKED, "CERT_E_REVOKED: the signer's certificate was revoked"},
    {TRUST_E_EXPLICIT_DISTRUST, "TRUST_E_EXPLICIT_DISTRUST: the signer is distrusted here"},
    {CERT_E_WRONG_USAGE, "CERT_E_WRONG_USAGE: the certificate is not for code signing"},
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
