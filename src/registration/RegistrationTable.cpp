#include "registration/RegistrationTable.h"

#include <iterator>

#include "util/com/FilterClassId.h"

const DocumentTypeRow kDocumentTypes[] = {
    {L".chm", L"chm.file", L"Compiled HTML Help file", L"{B5E07D92-6A1C-4F3D-B2E8-0C49A7F318D5}",
     L"Compiled HTML Help file"},
};
const size_t kDocumentTypeCount = std::size(kDocumentTypes);

const PersistentHandlerRecord kPersistentHandler = {
    L"{3C8F2A17-D4B9-4E06-8A3B-91F7C2E5D048}",
    L"Morvanex CHM filter Persistent Handler",
    kFilterClsidString,
};

const ServerRecord kServer = {
    kFilterClsidString,
    L"Morvanex CHM filter",
    L"Both",
};
