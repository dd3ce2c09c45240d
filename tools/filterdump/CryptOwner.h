#pragma once
#include <windows.h>
#include <wincrypt.h>

// Owns one object of crypt32's certificate and message functions; Free is the
// function that lets go of that kind of object.
template <typename T, void (*Free)(T)>
class CryptOwner {
public:
    CryptOwner() = default;
    explicit CryptOwner(T object) : m_object(object) {}
    CryptOwner(const CryptOwner&) = delete;
    CryptOwner& operator=(const CryptOwner&) = delete;
    ~CryptOwner() { reset(); }

    T get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    T* put() { reset(); return &m_object; }
    void reset(T object = nullptr)
    {
        if (m_object) Free(m_object);
        m_object = object;
    }

private:
    T m_object = nullptr;
};

inline void FreeCertStore(HCERTSTORE store) { CertCloseStore(store, 0); }
inline void FreeCryptMsg(HCRYPTMSG message) { CryptMsgClose(message); }
inline void FreeCertContext(PCCERT_CONTEXT certificate) { CertFreeCertificateContext(certificate); }

using CertStore = CryptOwner<HCERTSTORE, &FreeCertStore>;
using CryptMsg = CryptOwner<HCRYPTMSG, &FreeCryptMsg>;
using CertContext = CryptOwner<PCCERT_CONTEXT, &FreeCertContext>;
