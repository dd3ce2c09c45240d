#include "environment/FilterDllLoader.h"

namespace {
FilterDllLoaderFn g_loader = CoLoadLibrary;
}

HMODULE LoadFilterDll(const wchar_t* path)
{
    return g_loader(const_cast<wchar_t*>(path), TRUE);
}

FilterDllLoaderFn SetFilterDllLoader(FilterDllLoaderFn loader)
{
    FilterDllLoaderFn previous = g_loader;
    g_loader = loader ? loader : CoLoadLibrary;
    return previous;
}
