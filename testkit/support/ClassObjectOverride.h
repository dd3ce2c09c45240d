#pragma once
#include <windows.h>
#include <objbase.h>

// Serves one class from a given class object in this process for as long as
// the object lives (CoRegisterClassObject), ahead of the class's registration.
class ClassObjectOverride {
public:
    ClassObjectOverride(REFCLSID clsid, IUnknown* classObject);
    ~ClassObjectOverride();
    ClassObjectOverride(const ClassObjectOverride&) = delete;
    ClassObjectOverride& operator=(const ClassObjectOverride&) = delete;

    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr = E_FAIL;
    DWORD m_cookie = 0;
};
