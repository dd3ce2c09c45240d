// crawl_bench [rounds]
// Crawls every CHM in the shared collection's real/ folder (through whatever
// storage component the prefix has) with .htm, .html and .txt registered to a
// test page filter, and times it; then times FindFilter alone for an ordinary
// host and for a server search host whose product is installed.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "crawler/CChmFileCrawler.h"
#include "filter/CHostProcessInfo.h"
#include "support/FilterDllCopy.h"
#include "support/RegistryFixture.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr wchar_t kFilter[] = L"{C01E4438-767B-4455-B711-C2C5C2436E64}";
constexpr wchar_t kHandler[] = L"{6F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}";

double Milliseconds(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::wstring FromUnix(const char* path)
{
    std::wstring out = L"Z:";
    for (const char* p = path; *p; ++p)
        out += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return out;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(folder + L"\\" + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

void TimeLookups(const wchar_t* label, const wchar_t* hostPath, int count)
{
    CHostProcessInfo host(hostPath);
    const wchar_t* pages[] = {L"C:\\t\\page.htm", L"C:\\t\\pic.gif"};
    for (const wchar_t* page : pages) {
        FilterLookupRecord record;
        host.FindFilter(page, record);  // fills the probe cache
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            FilterLookupRecord fresh;
            host.FindFilter(page, fresh);
        }
        std::printf("FindFilter %ls, %ls: %.1f us per lookup\n", label, page, Milliseconds(start) * 1000.0 / count);
    }
}
// Where one lookup's time goes: the registry walk to the DLL, and the probe.
void TimeSteps(int count)
{
    CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
    FilterLookupRecord record;
    host.FindFilter(L"C:\\t\\page.htm", record);
    const std::wstring dll = record.filterDllPath;
    wchar_t path[2048];
    auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        CIFilterRegistryHelperBase::LocateFilterDll(kFilter, path, 2048);
    std::printf("  LocateFilterDll: %.1f us\n", Milliseconds(start) * 1000.0 / count);
    start = Clock::now();
    for (int i = 0; i < count; ++i) {
        wcscpy(path, dll.c_str());
        host.DLLsInformation().GetDisplayPath(path, 2048);
    }
    std::printf("  GetDisplayPath (cached): %.1f us\n", Milliseconds(start) * 1000.0 / count);
    start = Clock::now();
    for (int i = 0; i < count; ++i) {
        BOOL found, trusted;
        host.DLLsInformation().QueryFileStatus(dll.c_str(), &found, &trusted);
    }
    std::printf("  QueryFileStatus (cached): %.1f us\n", Milliseconds(start) * 1000.0 / count);
    start = Clock::now();
    for (int i = 0; i < count; ++i) {
        BOOL a, b, c;
        host.DLLsInformation().QueryPersistSupport(dll.c_str(), kFilter, &a, &b, &c);
    }
    std::printf("  QueryPersistSupport (cached): %.1f us\n", Milliseconds(start) * 1000.0 / count);
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 1;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ScratchRegistry registry;
        ScratchFolder scratch;
        FilterDllCopy dll(scratch, L"filters\\Page.dll");
        SetRegistryString(HKEY_LOCAL_MACHINE, (std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kFilter +
                                               L"\\InprocServer32").c_str(), nullptr, dll.Path().c_str());
        SetRegistryString(HKEY_LOCAL_MACHINE, (std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kHandler +
                                               L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}")
                                                  .c_str(), nullptr, kFilter);
        for (const wchar_t* extension : {L"htm", L"html", L"txt"})
            SetRegistryString(HKEY_LOCAL_MACHINE, (std::wstring(L"SOFTWARE\\Classes\\.") + extension +
                                                   L"\\PersistentHandler").c_str(), nullptr, kHandler);
        const std::wstring officeServer = scratch.MakeFolder(L"Office Server\\12.0");
        SetMachineString(L"SOFTWARE\\Microsoft\\Office Server\\12.0", L"InstallPath", officeServer.c_str());
        const std::wstring temp = scratch.MakeFolder(L"tmp");

        const auto files = FilesIn(FromUnix(TAVRINOLEX_SHARED_CHM "/real"));
        CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
        size_t entries = 0, pages = 0;
        const auto start = Clock::now();
        for (int round = 0; round < rounds; ++round) {
            for (const auto& file : files) {
                CChmFileCrawler crawler(file.c_str(), temp.c_str(), 0);
                crawler.SetLocator(&host);
                wchar_t name[2049], folder[2049], target[2049];
                HRESULT hr;
                while ((hr = crawler.Advance(name, 2049, folder, 2049, target, 2049)) == S_OK || hr == S_FALSE) {
                    ++entries;
                    pages += target[0] != L'\0';
                }
            }
        }
        const double ms = Milliseconds(start);
        std::printf("crawl: %zu files x %d, %zu entries, %zu pages written, %.0f ms, %.1f us per entry\n",
                    files.size(), rounds, entries, pages, ms, ms * 1000.0 / (entries ? entries : 1));

        TimeLookups(L"ordinary host", L"C:\\Windows\\System32\\cidaemon.exe", 2000);
        TimeSteps(500);
        TimeLookups(L"server search host", (officeServer + L"\\bin\\mssdmn.exe").c_str(), 2000);
    }
    CoUninitialize();
    return 0;
}
