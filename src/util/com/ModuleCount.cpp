#include "util/com/ModuleCount.h"

volatile LONG g_moduleCount = 0;
