#include "module/ModuleCount.h"

volatile LONG g_moduleCount = 0;
