#pragma once
#include <windows.h>
#include <filter.h>

#include <functional>

#include "ChunkRecord.h"

// Starts the filter with Init, as an indexing host does, and pulls every chunk
// with its text or value until the end of chunks. Each chunk goes to onChunk as
// soon as it is complete; the counts and the title go into summary. Returns an
// exit code (ExitCodes.h); the reason of a failure is in summary.reason.
int ReadChunks(IFilter* filter, FileSummary& summary, const std::function<void(const ChunkRecord&)>& onChunk);
