// The module's static objects, defined in one place so that they are built in
// this order when the module loads and destroyed in reverse when it unloads.
#include "module/CIFitlerBaseApp.h"

CIFitlerBaseApp theApp;
