#pragma once
#include <windows.h>

// 1 when the file's Authenticode signature verifies; 0 when it does not or when
// the check cannot be run at all. wintrust.dll is loaded only for the call.
BOOL VerifyFileTrust(const wchar_t* path, BOOL showUi);

// The verification call itself: WinVerifyTrust of wintrust.dll unless replaced.
// Tests replace it to see whether it is called at all and to stand in for a
// signed file, which the test platform cannot make.
using WinVerifyTrustFn = LONG(WINAPI*)(HWND window, GUID* action, void* data);

// Replaces the call (null restores WinVerifyTrust); returns the one replaced.
WinVerifyTrustFn SetTrustVerifier(WinVerifyTrustFn verifier);
