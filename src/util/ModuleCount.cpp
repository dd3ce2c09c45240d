#include "util/ModuleCount.h"

volatile LONG g_moduleCount = 0;
