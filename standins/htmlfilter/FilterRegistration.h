#pragma once
#include <windows.h>

// The standard filter registration of the reference page filters under
// HKEY_CLASSES_ROOT: each extension names a persistent handler, whose IFilter
// add-in entry names the filter class, served by this DLL.
HRESULT RegisterPageFilters(const wchar_t* dllPath);
// Removes what RegisterPageFilters wrote; an extension whose handler is not
// ours keeps it.
HRESULT UnregisterPageFilters();
