#pragma once
#include "registry/CIFilterRegistryHelperIndexingService20.h"

// The standard registration as the Indexing Service 3.0 reads it: the
// extension's own "PersistentHandler" first, then the 2.0 route. The default
// helper for every host that is not a search product of its own.
class CIFilterRegistryHelperIndexingService30 : public CIFilterRegistryHelperIndexingService20 {
public:
    BOOL FindRegistrationForExtension(const wchar_t* extension, FilterLookupRecord& record) override;
};
