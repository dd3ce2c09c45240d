// A filter DLL whose class object crashes the host: shows that filterdump ends
// with one line and its own exit code, with no crash dialog or debugger.
#include <windows.h>

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** ppv)
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    if (ppv)
        *ppv = nullptr;
    return E_FAIL;
}
