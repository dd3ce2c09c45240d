#include "registry/FilterLookupRecord.h"

void FilterLookupRecord::Initialise()
{
    persistentHandler[0] = L'\0';
    filterClsid[0] = L'\0';
    filterDllPath[0] = L'\0';
    filterName[0] = L'\0';
    source = 0;
    trusted = FALSE;
    status = STATUS_NO_PERSIST;
    supportsPersistFile = FALSE;
    supportsPersistStream = FALSE;
    supportsPersistStorage = FALSE;
    dllsInformation = nullptr;
}
