#pragma once
#include <windows.h>

#include <string>

// "0x80041700 FILTER_E_END_OF_CHUNKS" or "0x80070002 (The system cannot find
// the file specified.)": the code and what it means, on one line.
std::string DescribeResult(HRESULT hr);
