#include "ConformanceCommand.h"

#include <windows.h>

#include <cstdio>

#include "CConformanceProcedure.h"
#include "CConformanceTally.h"
#include "CConsoleWriter.h"
#include "CFilterLoader.h"
#include "ExitCodes.h"
#include "Utf8.h"

int RunConformance(const std::wstring& path, const std::wstring& dll, const std::wstring& clsid, bool stream,
                   unsigned threads, unsigned runs, CConsoleWriter& out, const std::function<void(const std::string&)>& error)
{
    // This loader and its first object say which filter it is, or why there is
    // none; the loader keeps the filter's DLL loaded until the procedure ends,
    // so each later object's own loader may let go of it.
    CFilterLoader first(dll, clsid, stream);
    {
        ComPtr<IFilter> filter;
        const CFilterLoader::Outcome outcome = first.Load(path, filter);
        filter.reset();
        if (outcome != CFilterLoader::Outcome::Loaded) {
            error(first.Reason());
            return outcome == CFilterLoader::Outcome::NoFilter ? kExitNoFilter : kExitFilterFailed;
        }
    }
    auto write = [&out](const std::string& line) {
        out.Write(line + "\n");
        out.Flush();
    };
    write("Conformance of " + ToUtf8(path));
    write("Filter: " + ToUtf8(first.ClassId()) + " " + ToUtf8(first.DllPath()) + " (" + first.How() + ")" +
          (stream ? ", the file as a stream" : ""));

    CConformanceProcedure::Binder bind = [&](ComPtr<IFilter>& filter, std::string& reason) {
        CFilterLoader loader(dll, clsid, stream);
        if (loader.Load(path, filter) == CFilterLoader::Outcome::Loaded)
            return true;
        filter.reset();
        reason = loader.Reason();
        return false;
    };
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    CConformanceTally tally(write);
    CConformanceProcedure(bind, tally, threads, runs).Run();
    QueryPerformanceCounter(&end);

    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.1f",
                  static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    write(std::string("Time: ") + seconds + " s");
    write(std::to_string(tally.Passed()) + " passed, " + std::to_string(tally.Failed()) + " failed");
    if (tally.Failed() > 0) {
        error(std::to_string(tally.Failed()) + " conditions failed");
        return kExitNotConformant;
    }
    return kExitOk;
}
