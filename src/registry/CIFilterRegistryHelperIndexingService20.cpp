#include "registry/CIFilterRegistryHelperIndexingService20.h"

#include "registry/CRegistry.h"
#include "registry/JoinKeyPath.h"
#include "registry/ReadExtensionValue.h"
#include "registry/ReadHandlerValue.h"
#include "registry/ReadRegistryText.h"

BOOL CIFilterRegistryHelperIndexingService20::FindRegistrationForExtension(const wchar_t* extension,
                                                                          FilterLookupRecord& record)
{
    wchar_t typeName[kTypeNameCapacity];
    // An empty type name would address "SOFTWARE\Classes\CLSID" itself.
    if (!ReadExtensionValue(extension, nullptr, typeName, kTypeNameCapacity) || typeName[0] == L'\0')
        return FALSE;
    wchar_t path[kKeyCapacity];
    if (!JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\", typeName, L"\\CLSID"}))
        return FALSE;
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path))
        return FALSE;
    wchar_t clsid[FilterLookupRecord::kClsidCapacity];
    if (!ReadRegistryText(key, nullptr, clsid, FilterLookupRecord::kClsidCapacity,
                          FilterLookupRecord::kClsidCapacity) ||
        clsid[0] == L'\0')
        return FALSE;
    return FindHandlerForClass(clsid, record);
}

BOOL CIFilterRegistryHelperIndexingService20::FindHandlerForClass(const wchar_t* clsid, FilterLookupRecord& record)
{
    wchar_t path[kKeyCapacity];
    if (!clsid || !JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\CLSID\\", clsid, L"\\PersistentHandler"}))
        return FALSE;
    if (!ReadHandlerValue(path, record.persistentHandler, FilterLookupRecord::kClsidCapacity))
        return FALSE;
    record.source = SOURCE_CLASS_HANDLER;
    return TRUE;
}
