// Times, for one CHM: opening it through the registered storage component
// (the stand-in builds its whole tree there), and the reader's walk over every
// stream, reading each into memory as the crawler does. Usage: standin_open_bench.exe <chm path> [repeats]
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

#include "crawler/CChmStorage.h"

namespace {
double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: standin_open_bench.exe <chm path> [repeats]\n");
        return 2;
    }
    const int repeats = argc > 2 ? _wtoi(argv[2]) : 3;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int status = 0;
    for (int run = 0; run < repeats && status == 0; ++run) {
        LARGE_INTEGER start, opened, walked;
        QueryPerformanceCounter(&start);
        CChmStorage reader;
        const HRESULT hr = reader.Open(argv[1], nullptr);
        QueryPerformanceCounter(&opened);
        if (FAILED(hr)) {
            std::fprintf(stderr, "open failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            status = 1;
            break;
        }
        static wchar_t name[2049], folder[2049];
        unsigned long streams = 0;
        unsigned long long bytes = 0;
        for (HRESULT step = reader.First(name, 2049, folder, 2049); step == S_OK;
             step = reader.Next(name, 2049, folder, 2049)) {
            ++streams;
            BYTE* block = nullptr;
            DWORD count = 0;
            if (SUCCEEDED(reader.ReadCurrent(&block, &count)))
                bytes += count;
            if (block)
                LocalFree(block);
        }
        QueryPerformanceCounter(&walked);
        reader.Close();
        std::printf("run %d: open %.3f s, walk and read %.3f s, %lu streams, %llu bytes\n", run + 1,
                    Seconds(start, opened), Seconds(opened, walked), streams, bytes);
    }
    CoUninitialize();
    return status;
}
