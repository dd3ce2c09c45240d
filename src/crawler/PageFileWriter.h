#pragma once
#include <windows.h>

// Every page file is written through this one call, so that tests can stand in
// for a full disk, which Wine cannot be made to present.
using WriteFileFn = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD byteCount, LPDWORD written,
                                  LPOVERLAPPED overlapped);

// Writes all byteCount bytes: S_OK, the write's own error, or
// HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL) when fewer bytes went out.
HRESULT WritePageFile(HANDLE file, const void* data, DWORD byteCount);

// Replaces the write call (null restores WriteFile); returns the one replaced.
WriteFileFn SetPageFileWriter(WriteFileFn writer);
