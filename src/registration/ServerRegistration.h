#pragma once
#include <windows.h>

#include "registration/RegistrationTable.h"

// Writes HKCR\CLSID\<filter class> with the filter's name, its InprocServer32
// key holding the full path of `module`, and the threading model. The path is
// taken from the module's own handle: looking the module up by file name
// would, for a renamed or second copy, register some other file. A module
// whose path cannot be had whole fails instead of registering a wrong path.
LONG RegisterServer(const ServerRecord& server, HMODULE module);

// Deletes HKCR\CLSID\<filter class>\InprocServer32, then the class key.
LONG UnregisterServer(const ServerRecord& server);
