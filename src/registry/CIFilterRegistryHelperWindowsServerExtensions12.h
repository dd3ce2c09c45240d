#pragma once
#include "registry/CIFilterRegistryHelperSharepoint2003.h"

// The search of Web Server Extensions 12: read as SharePoint Portal Server 2001,
// under its own keys.
class CIFilterRegistryHelperWindowsServerExtensions12 : public CIFilterRegistryHelperSharepoint2003 {
public:
    CIFilterRegistryHelperWindowsServerExtensions12();

    BOOL IsProductInstalled() override;
};
