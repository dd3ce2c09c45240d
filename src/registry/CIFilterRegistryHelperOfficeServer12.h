#pragma once
#include "registry/CIFilterRegistryHelperSharepoint2003.h"

// Office Server 12 search: read as SharePoint Portal Server 2001, under its own keys.
class CIFilterRegistryHelperOfficeServer12 : public CIFilterRegistryHelperSharepoint2003 {
public:
    CIFilterRegistryHelperOfficeServer12();

    BOOL IsProductInstalled() override;
};
