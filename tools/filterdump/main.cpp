// filterdump: shows what a search host indexes from a file. It loads the
// file's filter as an indexing host does, pulls every chunk, and prints the
// title, each chunk with its text or value, and a summary; given a folder, it
// filters every .chm below it and prints a table.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "CConsoleWriter.h"
#include "CDllSignature.h"
#include "CFilterLoader.h"
#include "CJsonDump.h"
#include "CTextDump.h"
#include "ConformanceCommand.h"
#include "ExitCodes.h"
#include "ReadChunks.h"
#include "Utf8.h"

namespace {
const char kUsage[] =
    "usage: filterdump [options] <file or folder>\n"
    "  Loads the filter a search host would use for the file (the standard registration of its\n"
    "  extension), says whether its DLL is signed and by whom, prints the document title and\n"
    "  every chunk, then a summary line.\n"
    "  A folder: filters every .chm below it and prints a table.\n"
    "options:\n"
    "  --json          one JSON object per line (UTF-8): document, chunk, summary, total\n"
    "  --clsid {...}   use this filter class instead of the registration\n"
    "  --dll <path>    load the class named by --clsid from this DLL (no registration needed)\n"
    "  --chunks        in a folder run, print the chunks too\n"
    "  --quiet         print no chunks, only the summary\n"
    "  --stream        hand the file over as a read-only stream (IInitializeWithStream), as\n"
    "                  Windows Search does, instead of naming it (IPersistFile)\n"
    "  --conformance   run the IFilter test procedure on the file's filter instead: five Init\n"
    "                  configurations, each with validation, consistency and invalid-input\n"
    "                  passes, then objects on several threads and repeated runs; prints each\n"
    "                  failed condition and the counts\n"
    "  --threads <n>   with --conformance: filter objects reading at once (default 4, 0 to 64)\n"
    "  --runs <n>      with --conformance: more Init cycles on one object (default 4, 0 to 100)\n"
    "exit codes: 0 end of chunks reached (--conformance: every condition passed); 1 usage;\n"
    "  2 no such file (or no .chm in the folder); 3 no filter registered; 4 the filter failed;\n"
    "  5 no chunks at all; 6 a file of the folder did not end with 0; 7 the filter crashed;\n"
    "  8 --conformance: a condition failed.\n";

struct Options {
    bool json = false;
    bool chunks = false;
    bool quiet = false;
    bool conformance = false;
    bool stream = false;
    unsigned threads = 4;
    unsigned runs = 4;
    bool countsGiven = false;
    std::wstring dll;
    std::wstring clsid;
    std::wstring target;
};

CConsoleWriter* g_out = nullptr;
CConsoleWriter* g_err = nullptr;
std::wstring g_currentFile;

// The signature of the DLL that served the last file: a folder run asks once per DLL.
const CDllSignature* SignatureOf(const std::wstring& dll)
{
    static std::unique_ptr<CDllSignature> last;
    if (dll.empty())
        return nullptr;
    if (!last || last->Path() != dll)
        last = std::make_unique<CDllSignature>(dll);
    return last.get();
}

void Error(const std::string& line)
{
    if (g_out)
        g_out->Flush();
    g_err->Write("filterdump: " + line + "\n");
    g_err->Flush();
}

// A filter that crashes ends the run with one clear line, not a crash dialog.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX",
                  info && info->ExceptionRecord ? static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode) : 0UL);
    Error(std::string("the filter crashed (exception ") + code + ") while reading " + ToUtf8(g_currentFile));
    ExitProcess(kExitCrashed);
    return EXCEPTION_EXECUTE_HANDLER;
}


FileSummary DumpFile(const std::wstring& path, const std::wstring& shownName, const Options& options,
                     CDumpSink& sink)
{
    FileSummary summary;
    summary.file = shownName;
    g_currentFile = path;
    const double start = Now();
    {
        CFilterLoader loader(options.dll, options.clsid, options.stream);
        ComPtr<IFilter> filter;
        const CFilterLoader::Outcome outcome = loader.Load(path, filter);
        if (outcome != CFilterLoader::Outcome::Loaded) {
            summary.exitCode = outcome == CFilterLoader::Outcome::NoFilter ? kExitNoFilter : kExitFilterFailed;
            summary.reason = loader.Reason();
        } else {
            sink.Document(shownName, loader.ClassId(), loader.DllPath(), loader.How(),
                          SignatureOf(loader.LoadedDll()));
            summary.exitCode = ReadChunks(filter.get(), summary,
                                          [&](const ChunkRecord& chunk) { sink.Chunk(shownName, chunk, summary); });
        }
        // The filter goes before the loader lets go of its DLL.
        filter.reset();
    }
    summary.seconds = Now() - start;
    if (summary.exitCode == kExitOk && summary.chunks == 1 && summary.haveTitle)
        summary.reason = "only the document title: no page gave any chunk";
    sink.Summary(summary);
    return summary;
}

bool HasChmExtension(const std::wstring& name)
{
    return name.size() > 4 && CompareStringOrdinal(name.c_str() + name.size() - 4, -1, L".chm", -1, TRUE) == CSTR_EQUAL;
}

void FindChmFiles(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& found)
{
    WIN32_FIND_DATAW data;
    const std::wstring base = relative.empty() ? folder : folder + L"\\" + relative;
    HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> subfolders;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            subfolders.push_back(child);
        else if (HasChmExtension(name))
            found.push_back(child);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    for (const auto& sub : subfolders)
        FindChmFiles(folder, sub, found);
}

int DumpFolder(const std::wstring& folder, const Options& options, CDumpSink& sink)
{
    std::vector<std::wstring> files;
    FindChmFiles(folder, L"", files);
    std::sort(files.begin(), files.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    if (files.empty()) {
        Error("no .chm file below " + ToUtf8(folder));
        return kExitFileMissing;
    }
    const double start = Now();
    std::vector<FileSummary> results;
    for (size_t i = 0; i < files.size(); ++i) {
        // The progress line rewrites itself on a console, and is one line per file elsewhere.
        std::string progress = "[" + std::to_string(i + 1) + "/" + std::to_string(files.size()) + "] " + ToUtf8(files[i]);
        if (g_err->IsConsole())
            g_err->Write("\r" + progress.substr(0, 78) + std::string(progress.size() < 78 ? 78 - progress.size() : 0, ' '));
        else
            g_err->Write(progress + "\n");
        g_err->Flush();
        results.push_back(DumpFile(folder + L"\\" + files[i], files[i], options, sink));
    }
    if (g_err->IsConsole()) {
        g_err->Write("\r" + std::string(78, ' ') + "\r");
        g_err->Flush();
    }
    sink.Table(results, Now() - start);
    const auto failed = std::count_if(results.begin(), results.end(),
                                      [](const FileSummary& s) { return s.exitCode != kExitOk; });
    if (failed > 0) {
        Error(std::to_string(failed) + " of " + std::to_string(results.size()) + " files did not end cleanly");
        return kExitSomeFailed;
    }
    return kExitOk;
}

bool ParseCount(const wchar_t* text, unsigned most, unsigned& count)
{
    wchar_t* end = nullptr;
    const unsigned long value = wcstoul(text, &end, 10);
    if (!*text || *end || value > most)
        return false;
    count = static_cast<unsigned>(value);
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--json") {
            options.json = true;
        } else if (arg == L"--chunks") {
            options.chunks = true;
        } else if (arg == L"--quiet" || arg == L"-q") {
            options.quiet = true;
        } else if (arg == L"--conformance") {
            options.conformance = true;
        } else if (arg == L"--stream") {
            options.stream = true;
        } else if ((arg == L"--threads" || arg == L"--runs") && i + 1 < argc) {
            const bool threads = arg == L"--threads";
            if (!ParseCount(argv[++i], threads ? 64 : 100, threads ? options.threads : options.runs)) {
                Error(ToUtf8(arg) + " takes a number from 0 to " + (threads ? "64" : "100"));
                return false;
            }
            options.countsGiven = true;
        } else if ((arg == L"--dll" || arg == L"--clsid") && i + 1 < argc) {
            (arg == L"--dll" ? options.dll : options.clsid) = argv[++i];
        } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            return false;
        } else if (!arg.empty() && arg[0] == L'-') {
            Error("unknown option " + ToUtf8(arg));
            return false;
        } else if (options.target.empty()) {
            options.target = arg;
        } else {
            Error("more than one file given: " + ToUtf8(arg));
            return false;
        }
    }
    if (options.target.empty())
        return false;
    if (!options.dll.empty() && options.clsid.empty()) {
        Error("--dll needs --clsid: which class of the DLL to create");
        return false;
    }
    if (options.conformance && (options.json || options.chunks || options.quiet)) {
        Error("--conformance prints its own report: no --json, --chunks or --quiet");
        return false;
    }
    if (options.countsGiven && !options.conformance) {
        Error("--threads and --runs go with --conformance");
        return false;
    }
    return true;
}

int Run(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        g_err->Write(kUsage);
        return kExitUsage;
    }
    wchar_t full[32768] = {};
    const DWORD length = GetFullPathNameW(options.target.c_str(), 32768, full, nullptr);
    const std::wstring path = (length > 0 && length < 32768) ? std::wstring(full) : options.target;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        Error("no such file or folder: " + ToUtf8(path));
        return kExitFileMissing;
    }

    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (options.conformance) {
        if (folder) {
            Error("--conformance takes a file, not a folder");
            return kExitUsage;
        }
        g_currentFile = path;
        return RunConformance(path, options.dll, options.clsid, options.stream, options.threads, options.runs, *g_out,
                              Error);
    }
    CTextDump text(*g_out, folder ? options.chunks : !options.quiet, !folder || options.chunks);
    CJsonDump json(*g_out);
    CDumpSink& sink = options.json ? static_cast<CDumpSink&>(json) : text;
    if (folder)
        return DumpFolder(path, options, sink);

    const FileSummary summary = DumpFile(path, path, options, sink);
    if (summary.exitCode != kExitOk)
        Error(summary.reason);
    else if (!summary.reason.empty())
        Error("note: " + summary.reason);
    return summary.exitCode;
}
}

int wmain(int argc, wchar_t** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(OnCrash);
    CConsoleWriter out(STD_OUTPUT_HANDLE);
    CConsoleWriter err(STD_ERROR_HANDLE);
    g_out = &out;
    g_err = &err;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        Error("COM cannot start: " + std::to_string(hr));
        return kExitFilterFailed;
    }
    int code = kExitUsage;
    try {
        code = Run(argc, argv);
    } catch (const std::exception& e) {
        Error(std::string("stopped: ") + e.what());
        code = kExitFilterFailed;
    }
    out.Flush();
    err.Flush();
    CoUninitialize();
    return code;
}
