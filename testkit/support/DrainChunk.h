#pragma once
#include <windows.h>
#include <filter.h>

// Takes everything GetText and GetValue give for the current chunk and lets
// it go, as a host that indexes it does.
void DrainChunk(IFilter* filter, const STAT_CHUNK& stat);
