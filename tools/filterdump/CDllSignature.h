#pragma once
#include <windows.h>

#include <string>

// The Authenticode signature embedded in a DLL, as an administrator checks it
// before deploying the DLL: whether it carries one, who signed it, and whether
// this system trusts it. A signature can name a signer whose authority the
// system does not trust, or no longer match the DLL's bytes: both are told
// apart from "not signed".
class CDllSignature {
public:
    explicit CDllSignature(const std::wstring& path);

    const std::wstring& Path() const { return m_path; }
    bool IsSigned() const { return m_signed; }
    // The signer's display name (its certificate's common name, or the nearest
    // name it has); empty when the DLL is not signed.
    const std::wstring& Signer() const { return m_signer; }
    bool IsTrusted() const { return m_trust == S_OK; }
    // What WinVerifyTrust answered: S_OK, or why the system does not trust the DLL.
    HRESULT TrustResult() const { return m_trust; }

private:
    void ReadSigner();
    void CheckTrust();

    std::wstring m_path;
    bool m_signed = false;
    std::wstring m_signer;
    HRESULT m_trust = TRUST_E_NOSIGNATURE;
};
