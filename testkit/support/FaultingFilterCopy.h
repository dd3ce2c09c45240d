#pragma once
#include <windows.h>

#include <string>

#include "scriptfilter/ScriptFilterClassId.h"

// A copy of the scriptable page filter of its own, for a test that plants a
// fault in it: a DLL that faulted is never called again in the process, so each
// fault needs another DLL, and it is never unloaded, so no other DLL may take
// its place. The copy lies beside the test program (a scratch folder could not
// delete a DLL still loaded) and stays loaded for the rest of the process.
class FaultingFilterCopy {
public:
    // number names the copy; each planted fault takes its own.
    explicit FaultingFilterCopy(int number);

    const std::wstring& Path() const { return m_path; }
    HMODULE Module() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }

    // The script filter's own controls: a fault at the nth call of a kind
    // (null: none), and the calls made into it.
    void PlanFault(const char* call, LONG nth) const;
    LONG Calls() const;

private:
    std::wstring m_path;
    HMODULE m_module = nullptr;
};
