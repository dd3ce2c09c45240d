#pragma once
#include <windows.h>
#include <objbase.h>

// Every filter DLL the lookups load is loaded through this one call
// (CoLoadLibrary, which runs the DLL's start-up code), so that tests can stand
// in for a loader that lets a fault in that code reach its caller, which
// Wine's loader never does.
using FilterDllLoaderFn = HINSTANCE(STDAPICALLTYPE*)(LPOLESTR path, BOOL autoFree);

HMODULE LoadFilterDll(const wchar_t* path);

// Replaces the loader (null restores CoLoadLibrary); returns the one replaced.
FilterDllLoaderFn SetFilterDllLoader(FilterDllLoaderFn loader);
