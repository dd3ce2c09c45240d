#include "module/CIFitlerBaseApp.h"

BOOL CIFitlerBaseApp::InitInstance(HINSTANCE instance)
{
    m_instance = instance;
    DisableThreadLibraryCalls(instance);
    return TRUE;
}

int CIFitlerBaseApp::ExitInstance()
{
    return 0;
}
