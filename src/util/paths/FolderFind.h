#pragma once
#include <windows.h>

// The walk that removes a run's folder reads it through these two calls, so
// that tests can present entries that Wine cannot make (a junction: mklink /J
// reports success there and makes nothing).
using FindFirstEntryFn = HANDLE(WINAPI*)(LPCWSTR pattern, LPWIN32_FIND_DATAW entry);
using FindNextEntryFn = BOOL(WINAPI*)(HANDLE find, LPWIN32_FIND_DATAW entry);

HANDLE FindFirstEntry(const wchar_t* pattern, WIN32_FIND_DATAW* entry);
BOOL FindNextEntry(HANDLE find, WIN32_FIND_DATAW* entry);

// Replaces both calls (null restores FindFirstFileW and FindNextFileW). The
// handle the first gives is closed with FindClose.
void SetFolderFind(FindFirstEntryFn first, FindNextEntryFn next);
