#include "support/FaultingFilterCopy.h"

#include "support/LoadedModule.h"

FaultingFilterCopy::FaultingFilterCopy(int number)
{
    const std::wstring folder = LoadedModule::BesideTestProgram(L"faulting-" + std::to_wstring(number));
    CreateDirectoryW(folder.c_str(), nullptr);
    m_path = folder + L"\\ScriptPageFilter.dll";
    // Copied anew, as the filter is built anew; a copy of an earlier run of
    // the tests is loaded by nobody now.
    CopyFileW(LoadedModule::BesideTestProgram(L"ScriptPageFilter.dll").c_str(), m_path.c_str(), FALSE);
    // Never freed: see the class.
    m_module = LoadLibraryW(m_path.c_str());
}

void FaultingFilterCopy::PlanFault(const char* call, LONG nth) const
{
    auto plan = reinterpret_cast<ScriptFilter::PlanFaultFn>(
        reinterpret_cast<void*>(GetProcAddress(m_module, "ScriptFilterPlanFault")));
    if (plan)
        plan(call, nth);
}

LONG FaultingFilterCopy::Calls() const
{
    auto calls =
        reinterpret_cast<ScriptFilter::CallsFn>(reinterpret_cast<void*>(GetProcAddress(m_module, "ScriptFilterCalls")));
    return calls ? calls() : -1;
}
