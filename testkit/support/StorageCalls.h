#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "util/owners/ComPtr.h"

// Calls on a CHM's storages as a reader makes them, for tests of the storage
// component itself. Each gives an empty result where a call fails.

// The CHM's root through the component that CLSID_ITStorage makes in this
// process (the stand-in registered in the prefix, unless overridden).
ComPtr<IStorage> OpenChmRoot(const std::wstring& chm);
// The folder below root named like "a\\b", each level opened by name.
ComPtr<IStorage> OpenFolder(const ComPtr<IStorage>& root, const std::wstring& folder);
std::string ReadStream(IStream* stream);
// The names an enumeration of the storage reports, in its order.
std::vector<std::wstring> ElementNames(IStorage* storage);
// The names left in an enumeration made earlier.
std::vector<std::wstring> ElementNames(IEnumSTATSTG* elements);
