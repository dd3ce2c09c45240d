// The Windows half of the fuzzer: filters a list of help files one after the
// other in one process, as a search host would, and writes one line per file to
// a results file that the driver reads. A crash ends the process; the driver
// then starts a new worker from the next file. Lines:
//   B <i>                          file i begins
//   F <i> <code> <address> <module>  a fault was raised (first chance) while file i ran
//   O <i> <chunks> <text chunks>   file i ended cleanly
//   C <i> <what>                   file i broke the host contract or left something behind
//   H <i>                          file i ran past its time bound; the worker ends itself
//   W <i> <where> | <where> ...    where the filtering thread stood then, when that could be seen
//   S <i> <phase> <call>           at a hang: the stand-in storage's heap check the thread was in
//   V <i>                          the process heap was found damaged after file i; the worker ends itself
// When a call into Wine's itss.dll damages the heap, the stand-in storage writes
// the call's name to "platform-heap-damage.txt" in the run folder and ends the
// process at once.
//   E                              the list is done
//
//   fuzz_worker.exe <list file> <results file> <run folder> <time bound ms> <first index>
// The list holds one path a line (UTF-8). The run folder receives the temporary
// folder (TMP) and the settings folder of the run; nothing else may appear there.
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "HostRun.h"
#include "support/LoadedModule.h"
#include "support/RegistryFixture.h"
#include "support/ScratchRegistry.h"
#include "support/Utf8.h"

namespace {

HANDLE g_results = INVALID_HANDLE_VALUE;
// The stand-in storage's account of its heap checks (see the S line).
using HeapCheckWhereFn = void(WINAPI*)(const char**, const char**);
HeapCheckWhereFn g_heapCheckWhere = nullptr;
std::atomic<long> g_current{-1};
std::atomic<ULONGLONG> g_deadline{0};

void WriteLine(const char* text)
{
    DWORD written = 0;
    WriteFile(g_results, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

bool Fatal(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
    case 0xC0000374:  // heap corruption
    case STATUS_STACK_BUFFER_OVERRUN:
        return true;
    default:
        return false;
    }
}

// Records where a fault happened before anyone handles it: when it turns out to
// be fatal, the driver knows the module from this line.
void ModuleOf(const void* address, char* module, size_t size, size_t& offset)
{
    snprintf(module, size, "unknown");
    offset = 0;
    HMODULE owner = nullptr;
    char path[MAX_PATH];
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(address), &owner) &&
        GetModuleFileNameA(owner, path, MAX_PATH)) {
        const char* slash = strrchr(path, '\\');
        snprintf(module, size, "%s", slash ? slash + 1 : path);
        offset = static_cast<size_t>(static_cast<const char*>(address) - reinterpret_cast<const char*>(owner));
    }
}

// Records where a fault happened before anyone handles it: when it turns out to
// be fatal, the driver knows the module from this line. The frames after the
// module name (module+offset, by frame pointers where the code keeps them) help
// to find the call that led there.
LONG CALLBACK RecordFault(EXCEPTION_POINTERS* info)
{
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!Fatal(code))
        return EXCEPTION_CONTINUE_SEARCH;
    void* address = info->ExceptionRecord->ExceptionAddress;
    char module[MAX_PATH];
    size_t offset = 0;
    ModuleOf(address, module, sizeof(module), offset);
    char line[2048];
    int used = snprintf(line, sizeof(line), "F %ld %08lX %p %s +%zx", g_current.load(),
                        static_cast<unsigned long>(code), address, module, offset);
#if defined(__i386__)
    const void* const* frame = reinterpret_cast<const void* const*>(info->ContextRecord->Ebp);
    for (int depth = 0; depth < 16 && used > 0 && used < 1800 && frame; ++depth) {
        MEMORY_BASIC_INFORMATION memory;
        if (!VirtualQuery(frame, &memory, sizeof(memory)) || memory.State != MEM_COMMIT ||
            (memory.Protect & (PAGE_READWRITE | PAGE_READONLY)) == 0)
            break;
        char caller[MAX_PATH];
        ModuleOf(frame[1], caller, sizeof(caller), offset);
        used += snprintf(line + used, sizeof(line) - static_cast<size_t>(used), " <%s+%zx", caller, offset);
        const void* const* next = static_cast<const void* const*>(frame[0]);
        if (next <= frame)
            break;
        frame = next;
    }
#endif
    snprintf(line + used, sizeof(line) - static_cast<size_t>(used), "\n");
    WriteLine(line);
    return EXCEPTION_CONTINUE_SEARCH;
}

HANDLE g_mainThread = nullptr;

// Text without the runtime: the watchdog may run while a hang holds the heap's
// or the runtime's locks.
struct RawLine {
    char text[1536];
    DWORD used = 0;
    void Add(const char* part)
    {
        while (*part && used < sizeof(text) - 2)
            text[used++] = *part++;
    }
    void AddNumber(unsigned long long value, unsigned base)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value && n < 23);
        while (n && used < sizeof(text) - 2)
            text[used++] = digits[--n];
    }
    // The module by the name in its export directory, read straight from memory:
    // the loader's own lookups take a lock that a hang may hold.
    void AddModule(const void* address)
    {
        MEMORY_BASIC_INFORMATION memory;
        const char* base = nullptr;
        if (VirtualQuery(address, &memory, sizeof(memory)) && memory.Type == MEM_IMAGE)
            base = static_cast<const char*>(memory.AllocationBase);
        const char* name = nullptr;
        if (base && reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_magic == IMAGE_DOS_SIGNATURE) {
            const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
                base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
            const IMAGE_DATA_DIRECTORY& exports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
            if (exports.VirtualAddress && exports.Size)
                name = base + reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exports.VirtualAddress)->Name;
            else
                name = "program";
        }
        if (!name) {
            Add("unknown");
            return;
        }
        Add(name);
        Add("+");
        AddNumber(static_cast<unsigned long long>(static_cast<const char*>(address) - base), 16);
    }
};

// Writes "W <i> <where> | <where> ...": where the filtering thread stands (its
// instruction, then its callers by frame pointers), a few times over, since a
// look may find it inside the system's Unix side, where nothing can be named.
DWORD WINAPI WriteWhere(void*)
{
    RawLine line;
    line.Add("W ");
    line.AddNumber(static_cast<unsigned long long>(g_current.load()), 10);
#if defined(__i386__)
    for (int look = 0; look < 5; ++look) {
        if (look)
            Sleep(50);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        if (SuspendThread(g_mainThread) == static_cast<DWORD>(-1))
            break;
        const bool got = GetThreadContext(g_mainThread, &context);
        if (got) {
            line.Add(look ? " | " : " ");
            line.AddModule(reinterpret_cast<const void*>(context.Eip));
            const void* const* frame = reinterpret_cast<const void* const*>(context.Ebp);
            for (int depth = 0; depth < 12 && frame; ++depth) {
                MEMORY_BASIC_INFORMATION memory;
                if (!VirtualQuery(frame, &memory, sizeof(memory)) || memory.State != MEM_COMMIT ||
                    (memory.Protect & (PAGE_READWRITE | PAGE_READONLY)) == 0)
                    break;
                line.Add(" <");
                line.AddModule(frame[1]);
                const void* const* next = static_cast<const void* const*>(frame[0]);
                if (next <= frame)
                    break;
                frame = next;
            }
        }
        ResumeThread(g_mainThread);
        if (!got)
            break;
    }
#endif
    line.text[line.used++] = '\n';
    DWORD written = 0;
    WriteFile(g_results, line.text, line.used, &written, nullptr);
    return 0;
}

// At the time bound: writes "H <i>", tries for a moment to say where the
// filtering thread stands, and ends the process.
DWORD WINAPI Watchdog(void*)
{
    for (;;) {
        Sleep(100);
        const ULONGLONG deadline = g_deadline.load();
        if (!deadline || GetTickCount64() <= deadline)
            continue;
        RawLine line;
        line.Add("H ");
        line.AddNumber(static_cast<unsigned long long>(g_current.load()), 10);
        line.text[line.used++] = '\n';
        DWORD written = 0;
        WriteFile(g_results, line.text, line.used, &written, nullptr);
        const char* phase = nullptr;
        const char* call = nullptr;
        if (g_heapCheckWhere)
            g_heapCheckWhere(&phase, &call);
        if (phase && call) {
            RawLine checks;
            checks.Add("S ");
            checks.AddNumber(static_cast<unsigned long long>(g_current.load()), 10);
            checks.Add(" ");
            checks.Add(phase);
            checks.Add(" ");
            checks.Add(call);
            checks.text[checks.used++] = '\n';
            WriteFile(g_results, checks.text, checks.used, &written, nullptr);
        }
        HANDLE where = CreateThread(nullptr, 0, WriteWhere, nullptr, 0, nullptr);
        if (where)
            WaitForSingleObject(where, 5000);
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

std::string OneLine(std::string text)
{
    for (auto& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::vector<std::wstring> ReadList(const wchar_t* path)
{
    std::vector<std::wstring> list;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        list.push_back(FromUtf8(line));
    }
    return list;
}

// A crash must end the process at once, quietly, for the driver to notice; the
// watchdog ends a file that runs past its time bound.
void WatchForFaultsAndHangs()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    AddVectoredExceptionHandler(1, RecordFault);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
}

// Where a run's per-user state lives, for the checks after each file.
struct FilterFolders {
    std::wstring runFolder, temp, appData, settingsFile, host;
};

using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

// Filters one file as a search host does and writes what the driver judges:
// "B" when it starts, "O" when nothing was wrong, a "C" line per problem.
void FilterOne(long i, const std::wstring& file, DWORD bound, GetClassObjectFn getClassObject,
               CanUnloadNowFn canUnloadNow, const FilterFolders& f)
{
    char line[512];
    snprintf(line, sizeof(line), "B %ld\n", i);
    WriteLine(line);
    g_current = i;
    g_deadline = GetTickCount64() + bound;
    HostRunResult run = RunHostDocument(getClassObject, file);
    g_deadline = 0;
    if (run.load != S_OK)
        run.problems.push_back("Load failed");
    if (run.init != S_OK)
        run.problems.push_back("Init failed");
    if (canUnloadNow() != S_OK)
        run.problems.push_back("objects left alive in the filter DLL");
    for (const auto& extra : LeftBehind(f.runFolder, f.temp, f.appData))
        run.problems.push_back("left behind: " + extra);
    wchar_t marks[16] = {};
    GetPrivateProfileStringW(f.host.c_str(), file.c_str(), L"", marks, 16, f.settingsFile.c_str());
    if (marks[0])
        run.problems.push_back("attempt marks left");
    if (run.problems.empty()) {
        snprintf(line, sizeof(line), "O %ld %zu %zu\n", i, run.chunks, run.textChunks);
        WriteLine(line);
    }
    for (const auto& problem : run.problems) {
        snprintf(line, sizeof(line), "C %ld %s\n", i, OneLine(problem).c_str());
        WriteLine(line);
    }
    // A damaged heap would surface in whatever runs next: end this worker, so
    // that the next file starts in a fresh process.
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        snprintf(line, sizeof(line), "V %ld\n", i);
        WriteLine(line);
        TerminateProcess(GetCurrentProcess(), 4);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 6) {
        fprintf(stderr, "usage: fuzz_worker <list> <results> <run folder> <time bound ms> <first index>\n");
        return 2;
    }
    const std::wstring runFolder = argv[3];
    const DWORD bound = wcstoul(argv[4], nullptr, 10);
    const long first = wcstol(argv[5], nullptr, 10);
    g_results = CreateFileW(argv[2], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_results == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "fuzz_worker: cannot open the results file\n");
        return 2;
    }
    const std::vector<std::wstring> list = ReadList(argv[1]);
    WatchForFaultsAndHangs();

    // Per-user state of the run: temporary path through TMP, the settings folder
    // through the shell's folder registrations in a scratch HKEY_CURRENT_USER.
    const std::wstring temp = runFolder + L"\\tmp";
    const std::wstring appData = runFolder + L"\\appdata";
    CreateDirectoryW(runFolder.c_str(), nullptr);
    CreateDirectoryW(temp.c_str(), nullptr);
    CreateDirectoryW(appData.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    // The stand-in storage checks the heap around each call into Wine's itss.dll
    // and names the call that damaged it in this file (read by the driver).
    const std::wstring heapReport = runFolder + L"\\platform-heap-damage.txt";
    SetEnvironmentVariableW(L"TAVRINOLEX_STANDIN_HEAP_REPORT", heapReport.c_str());
    ComApartment com;
    ScratchRegistry registry;
    SetAppDataFolder(appData);
    // The attempt guard is on, so every run must also end its attempt record.
    const std::wstring settings = appData + L"\\Morvanex";
    CreateDirectoryW(settings.c_str(), nullptr);
    const std::wstring settingsFile = settings + L"\\IFilterProcess.ini";
    WritePrivateProfileStringW(L"Debug", L"BlackList", L"1", settingsFile.c_str());
    const std::wstring host = LoadedModule::ThisProgram();

    // Pages go through the reference page filter, registered in the scratch tree.
    LoadedModule pages(LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll"));
    using RegisterFn = HRESULT(STDAPICALLTYPE*)();
    if (!pages || FAILED(pages.Export<RegisterFn>("DllRegisterServer")())) {
        fprintf(stderr, "fuzz_worker: cannot register the reference page filter\n");
        return 2;
    }
    // The same module that COM loads for the storage class (registered from here).
    LoadedModule standIn(LoadedModule::BesideTestProgram(L"ChmStorageStandIn.dll"));
    g_heapCheckWhere = standIn.Export<HeapCheckWhereFn>("StandInHeapCheckWhere");
    LoadedModule dll(LoadedModule::BesideTestProgram(L"Tavrinolex.dll"));
    const auto getClassObject = ClassObjectExport(dll.get());
    const auto canUnloadNow = dll.Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    if (!getClassObject || !canUnloadNow) {
        fprintf(stderr, "fuzz_worker: Tavrinolex.dll did not load\n");
        return 2;
    }

    const FilterFolders folders{runFolder, temp, appData, settingsFile, host};
    for (long i = first; i < static_cast<long>(list.size()); ++i)
        FilterOne(i, list[i], bound, getClassObject, canUnloadNow, folders);
    WriteLine("E\n");
    CloseHandle(g_results);
    return 0;
}
