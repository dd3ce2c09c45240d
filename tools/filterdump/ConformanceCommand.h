#pragma once
#include <functional>
#include <string>

class CConsoleWriter;

// filterdump --conformance: the IFilter test procedure (CConformanceProcedure)
// on the filter for one file, chosen as the dump chooses it (dll and clsid may
// be empty), the file handed over by path or, with stream, as a stream. Writes a line per failed condition, a line per section and the
// counts; returns an exit code (ExitCodes.h). error takes a one-line reason.
int RunConformance(const std::wstring& path, const std::wstring& dll, const std::wstring& clsid, bool stream,
                   unsigned threads, unsigned runs, CConsoleWriter& out, const std::function<void(const std::string&)>& error);
