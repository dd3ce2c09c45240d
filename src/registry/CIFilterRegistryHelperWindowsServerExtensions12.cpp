#include "registry/CIFilterRegistryHelperWindowsServerExtensions12.h"

CIFilterRegistryHelperWindowsServerExtensions12::CIFilterRegistryHelperWindowsServerExtensions12()
{
    ApplyProfile(SearchProduct::WindowsServerExtensions12);
}

BOOL CIFilterRegistryHelperWindowsServerExtensions12::IsProductInstalled()
{
    return TRUE;
}
