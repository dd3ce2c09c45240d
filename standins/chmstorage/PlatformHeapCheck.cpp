#include "PlatformHeapCheck.h"

namespace {
const char* volatile g_phase = nullptr;
const char* volatile g_call = nullptr;

// The report file's path, read once: empty when the check is off.
const wchar_t* ReportPath()
{
    static wchar_t path[MAX_PATH + 1] = {};
    static const bool read = [] {
        const DWORD length = GetEnvironmentVariableW(L"TAVRINOLEX_STANDIN_HEAP_REPORT", path, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH)
            path[0] = L'\0';
        return true;
    }();
    (void)read;
    return path;
}
}

bool PlatformHeapCheck::Enabled() { return ReportPath()[0] != L'\0'; }

void PlatformHeapCheck::Enter(const char* phase, const char* call)
{
    g_phase = nullptr;
    g_call = call;
    g_phase = phase;
}

void PlatformHeapCheck::Where(const char** phase, const char** call)
{
    *phase = g_phase;
    *call = g_call;
}

bool PlatformHeapCheck::HeapWhole() { return HeapValidate(GetProcessHeap(), 0, nullptr) != FALSE; }

void PlatformHeapCheck::Report(const char* what)
{
    // Only the system's own calls from here: the heap is not to be trusted.
    const HANDLE file =
        CreateFileW(ReportPath(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, what, lstrlenA(what), &written, nullptr);
        CloseHandle(file);
    }
    TerminateProcess(GetCurrentProcess(), 6);
    for (;;)
        Sleep(INFINITE);
}
