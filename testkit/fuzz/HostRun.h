#pragma once
#include <windows.h>
#include <filter.h>

#include <string>
#include <vector>

#include "support/ClassObject.h"

// One document filtered the way a search host does it, through the filter DLL's
// exported class object: Load, Init, every chunk with all of its text or values
// (and a probe of the other kind), then two more GetChunk calls past the end,
// and Release. Every break of the host contract is written down, not asserted,
// so that a fuzzing worker and a test can both use it.
struct HostRunResult {
    HRESULT load = E_FAIL;
    HRESULT init = E_FAIL;
    size_t chunks = 0;
    size_t textChunks = 0;
    std::wstring title;
    std::vector<std::string> problems;
};

HostRunResult RunHostDocument(GetClassObjectFn getClassObject, const std::wstring& path);

// What a finished run must leave: the run folder holds only the temporary folder
// and the settings folder, the temporary folder is empty, the settings folder
// holds only the settings files. Returns one line per entry that should not be
// there.
std::vector<std::string> LeftBehind(const std::wstring& runFolder, const std::wstring& tempFolder,
                                    const std::wstring& appDataFolder);
