#pragma once
#include <windows.h>

// The module's application object: remembers the DLL's instance handle and
// switches off thread notifications, which the module never needs.
// The class name keeps its old spelling on purpose: the design names it so.
class CIFitlerBaseApp {
public:
    BOOL InitInstance(HINSTANCE instance);
    int ExitInstance();

    HINSTANCE Instance() const { return m_instance; }

private:
    HINSTANCE m_instance = nullptr;
};

// The module's single application object.
extern CIFitlerBaseApp theApp;
