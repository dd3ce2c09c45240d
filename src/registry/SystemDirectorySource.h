#pragma once
#include <windows.h>

// Where a filter DLL registered by bare file name is looked for first. Wine's
// system folder cannot be varied per test, so tests bind a folder of their own;
// the default is GetSystemDirectoryW.
using SystemDirectorySource = UINT(WINAPI*)(LPWSTR buffer, UINT capacity);

// Binds a source for the whole process and returns the one bound before; null
// binds the default again. Meant for tests, before any lookup runs.
SystemDirectorySource BindSystemDirectorySource(SystemDirectorySource source);

// The system folder from the bound source, as GetSystemDirectoryW answers.
UINT FilterSystemDirectory(LPWSTR buffer, UINT capacity);
