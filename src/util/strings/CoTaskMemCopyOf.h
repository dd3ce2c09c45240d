#pragma once
#include "util/owners/CoTaskMemBlock.h"

// An exact-length copy of a string in CoTaskMemAlloc memory, for handing to a
// COM caller, who frees it; empty for a null string or when memory runs out.
CoTaskMemBlock<wchar_t> CoTaskMemCopyOf(const wchar_t* text);
