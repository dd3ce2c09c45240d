#include "registration/ServerRegistration.h"

#include <iterator>

#include "registration/KeyChain.h"
#include "registration/KeyPath.h"

namespace {
LONG ModulePath(HMODULE module, wchar_t (&path)[KeyPath::kCapacity])
{
    // Without a handle GetModuleFileNameW would answer with the host's path.
    if (!module)
        return ERROR_MOD_NOT_FOUND;
    const DWORD length = GetModuleFileNameW(module, path, KeyPath::kCapacity);
    if (length == 0) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_MOD_NOT_FOUND;
    }
    // A full buffer means the path was cut.
    if (length >= KeyPath::kCapacity)
        return ERROR_INSUFFICIENT_BUFFER;
    return ERROR_SUCCESS;
}
}

LONG RegisterServer(const ServerRecord& server, HMODULE module)
{
    wchar_t path[KeyPath::kCapacity] = {};
    LONG rc = ModulePath(module, path);
    if (rc != ERROR_SUCCESS)
        return rc;
    const KeyChainLink chain[] = {{server.filterClass, server.filterName}, {kInprocServerKey, path}};
    rc = CreateKeyChain(chain, std::size(chain));
    if (rc != ERROR_SUCCESS)
        return rc;
    return SetThreadingModel(server.filterClass, server.threadingModel);
}

LONG UnregisterServer(const ServerRecord& server)
{
    const KeyChainLink chain[] = {{server.filterClass, server.filterName}, {kInprocServerKey, nullptr}};
    return DeleteKeyChain(chain, std::size(chain));
}
