#pragma once
#include <windows.h>

#include <exception>

// A failed call into a COM object, raised as an exception: the HRESULT and the
// interface whose method failed.
class CComError : public std::exception {
public:
    CComError(HRESULT hr, REFIID iid) : m_hr(hr), m_iid(iid) {}

    HRESULT Error() const { return m_hr; }
    const IID& Interface() const { return m_iid; }
    const char* what() const noexcept override { return "COM call failed"; }

    // Raises a CComError when hr is a failure code.
    static void ThrowIfFailed(HRESULT hr, REFIID iid)
    {
        if (FAILED(hr))
            throw CComError(hr, iid);
    }

private:
    HRESULT m_hr;
    IID m_iid;
};
