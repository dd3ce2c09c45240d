// TestNoClassObject.dll: a DLL that loads but has no DllGetClassObject, like a
// filter registration that names the wrong file.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, void*)
{
    return TRUE;
}

extern "C" LONG WINAPI TestNoClassObjectMarker()
{
    return 1;
}
