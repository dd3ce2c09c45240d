#include "CDllSignature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "CryptOwner.h"

CDllSignature::CDllSignature(const std::wstring& path) : m_path(path)
{
    ReadSigner();
    CheckTrust();
}

void CDllSignature::ReadSigner()
{
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD formatType = 0;
    CertStore store;
    CryptMsg message;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, m_path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, store.put(),
                          message.put(), nullptr))
        return;
    m_signed = true;

    // The signer is named by its certificate's issuer and serial number; the
    // certificate itself travels in the signature's own store.
    DWORD size = 0;
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return;
    // Whole CERT_INFO structures with their pointers into the same block: aligned storage.
    std::vector<unsigned long long> block((size + sizeof(unsigned long long) - 1) / sizeof(unsigned long long));
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, block.data(), &size))
        return;
    CertContext certificate(CertGetSubjectCertificateFromStore(store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                              reinterpret_cast<PCERT_INFO>(block.data())));
    if (!certificate)
        return;
    const DWORD length = CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length <= 1)
        return;
    std::vector<wchar_t> name(length);
    CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length);
    m_signer.assign(name.data());
}

void CDllSignature::CheckTrust()
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = m_path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    // No revocation lists fetched from the network: the answer is the machine's own.
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    // No state kept between calls, so there is nothing to close afterwards.
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    m_trust = static_cast<HRESULT>(WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
}
