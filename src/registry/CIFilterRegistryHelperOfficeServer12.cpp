#include "registry/CIFilterRegistryHelperOfficeServer12.h"

CIFilterRegistryHelperOfficeServer12::CIFilterRegistryHelperOfficeServer12()
{
    ApplyProfile(SearchProduct::OfficeServer12);
}

BOOL CIFilterRegistryHelperOfficeServer12::IsProductInstalled()
{
    return TRUE;
}
