#include "ClassObjectOverride.h"

ClassObjectOverride::ClassObjectOverride(REFCLSID clsid, IUnknown* classObject)
{
    // In the body: the cookie member must be in place before COM writes it.
    m_hr = CoRegisterClassObject(clsid, classObject, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
}

ClassObjectOverride::~ClassObjectOverride()
{
    if (SUCCEEDED(m_hr))
        CoRevokeClassObject(m_cookie);
}
