#pragma once
#include "registry/CIFilterRegistryHelperSharepoint2001.h"

// SharePoint Portal Server 2003: read as 2001, under "SPSSearch".
class CIFilterRegistryHelperSharepoint2003 : public CIFilterRegistryHelperSharepoint2001 {
public:
    CIFilterRegistryHelperSharepoint2003();

    BOOL IsProductInstalled() override;
};
