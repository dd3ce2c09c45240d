#pragma once
#include <windows.h>

// 1 when the file's Authenticode signature verifies; 0 when it does not or when
// the check cannot be run at all. wintrust.dll is loaded only for the call.
BOOL VerifyFileTrust(const wchar_t* path, BOOL showUi);
