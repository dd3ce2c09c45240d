#pragma once
#include "registry/CIFilterRegistryHelperBase.h"

// The standard registration as the Indexing Service 2.0 reads it: the
// extension's document type, its class, and that class's persistent handler.
class CIFilterRegistryHelperIndexingService20 : public CIFilterRegistryHelperBase {
public:
    static constexpr size_t kTypeNameCapacity = 256;

    BOOL FindRegistrationForExtension(const wchar_t* extension, FilterLookupRecord& record) override;
    // The class's "PersistentHandler" into the record.
    virtual BOOL FindHandlerForClass(const wchar_t* clsid, FilterLookupRecord& record);
};
