#pragma once
#include "registry/CIFilterRegistryHelperSQLServer2000.h"

// SharePoint Portal Server 2001: the product's extension table, then the
// extension's content type, then the standard registration, then the default
// filter for the extensions of its "DefaultExtList". The later SharePoint-family
// products read the same way under their own keys.
class CIFilterRegistryHelperSharepoint2001 : public CIFilterRegistryHelperSQLServer2000 {
public:
    static constexpr size_t kContentTypeCapacity = 256;
    static constexpr size_t kExtensionCapacity = 257;

    CIFilterRegistryHelperSharepoint2001();

    std::unique_ptr<wchar_t[]> GetDefaultExtensionList() override;
    BOOL FindDefaultFilter(const wchar_t* extension, FilterLookupRecord& record) override;
    BOOL FindRegistrationForExtension(const wchar_t* extension, FilterLookupRecord& record) override;
    BOOL IsProductInstalled() override;

protected:
    // The extension's "Content Type", its class in the MIME database, and that
    // class's product filter or persistent handler.
    BOOL FindContentTypeRegistration(const wchar_t* extension, FilterLookupRecord& record);
};
