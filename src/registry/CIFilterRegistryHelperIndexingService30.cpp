#include "registry/CIFilterRegistryHelperIndexingService30.h"

#include "registry/JoinKeyPath.h"
#include "registry/ReadHandlerValue.h"

BOOL CIFilterRegistryHelperIndexingService30::FindRegistrationForExtension(const wchar_t* extension,
                                                                          FilterLookupRecord& record)
{
    wchar_t path[kKeyCapacity];
    if (extension && JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\.", extension, L"\\PersistentHandler"}) &&
        ReadHandlerValue(path, record.persistentHandler, FilterLookupRecord::kClsidCapacity)) {
        record.source = SOURCE_EXTENSION_HANDLER;
        return TRUE;
    }
    return CIFilterRegistryHelperIndexingService20::FindRegistrationForExtension(extension, record);
}
