#include "registry/SystemDirectorySource.h"

namespace {
SystemDirectorySource g_systemDirectory = &GetSystemDirectoryW;
}

SystemDirectorySource BindSystemDirectorySource(SystemDirectorySource source)
{
    const SystemDirectorySource previous = g_systemDirectory;
    g_systemDirectory = source ? source : &GetSystemDirectoryW;
    return previous;
}

UINT FilterSystemDirectory(LPWSTR buffer, UINT capacity)
{
    return g_systemDirectory(buffer, capacity);
}
