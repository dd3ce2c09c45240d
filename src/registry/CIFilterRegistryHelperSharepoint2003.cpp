#include "registry/CIFilterRegistryHelperSharepoint2003.h"

#include "registry/CRegistry.h"

CIFilterRegistryHelperSharepoint2003::CIFilterRegistryHelperSharepoint2003()
{
    ApplyProfile(SearchProduct::Sharepoint2003);
}

BOOL CIFilterRegistryHelperSharepoint2003::IsProductInstalled()
{
    // Both versions share the product key; "SPSV2" = 1 marks 2003.
    CRegistry key;
    DWORD version = 0;
    return key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\SharePoint Portal Server") &&
           key.ReadDword(L"SPSV2", &version) && version == 1;
}
