#pragma once
#include <windows.h>

#include <string>

// Runs a command line and waits up to a minute for it: its exit code, or
// (DWORD)-1 when it cannot be started.
DWORD RunProgram(std::wstring commandLine);
