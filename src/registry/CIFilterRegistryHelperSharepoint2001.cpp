#include "registry/CIFilterRegistryHelperSharepoint2001.h"

#include <cwchar>
#include <new>

#include "registry/CRegistry.h"
#include "registry/JoinKeyPath.h"
#include "registry/ReadExtensionValue.h"
#include "registry/ReadHandlerValue.h"
#include "registry/ReadRegistryText.h"
#include "util/strings/BoundedString.h"

namespace {
const wchar_t kSharePointKey[] = L"SOFTWARE\\Microsoft\\SharePoint Portal Server";
}

CIFilterRegistryHelperSharepoint2001::CIFilterRegistryHelperSharepoint2001()
{
    ApplyProfile(SearchProduct::Sharepoint2001);
}

BOOL CIFilterRegistryHelperSharepoint2001::FindRegistrationForExtension(const wchar_t* extension,
                                                                       FilterLookupRecord& record)
{
    return FindProductExtensionFilter(extension, record) || FindContentTypeRegistration(extension, record) ||
           CIFilterRegistryHelperIndexingService30::FindRegistrationForExtension(extension, record) ||
           FindDefaultFilter(extension, record);
}

BOOL CIFilterRegistryHelperSharepoint2001::FindContentTypeRegistration(const wchar_t* extension,
                                                                      FilterLookupRecord& record)
{
    wchar_t contentType[kContentTypeCapacity];
    if (!ReadExtensionValue(extension, L"Content Type", contentType, kContentTypeCapacity) ||
        contentType[0] == L'\0')
        return FALSE;
    wchar_t path[kKeyCapacity];
    if (!JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\MIME\\Database\\Content Type\\", contentType}))
        return FALSE;
    wchar_t clsid[FilterLookupRecord::kClsidCapacity];
    {
        CRegistry key;
        if (!key.Open(HKEY_LOCAL_MACHINE, path) ||
            !ReadRegistryText(key, L"CLSID", clsid, FilterLookupRecord::kClsidCapacity,
                              FilterLookupRecord::kClsidCapacity) ||
            clsid[0] == L'\0')
            return FALSE;
    }

    if (FindProductClsidFilter(clsid, record)) {
        record.source |= SOURCE_CONTENT_TYPE_HANDLER;
        return TRUE;
    }
    if (!JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\CLSID\\", clsid, L"\\PersistentHandler"}) ||
        !ReadHandlerValue(path, record.persistentHandler, FilterLookupRecord::kClsidCapacity))
        return FALSE;
    record.source = SOURCE_CONTENT_TYPE_HANDLER;
    return TRUE;
}

std::unique_ptr<wchar_t[]> CIFilterRegistryHelperSharepoint2001::GetDefaultExtensionList()
{
    CRegistry key;
    DWORD length = 0;
    if (!OpenFiltersKey(key, L"\\Default", L"") || !key.QueryValueLength(L"DefaultExtList", &length))
        return nullptr;
    // Two spare terminators end the list even when the value has none.
    const DWORD room = length + 2;
    std::unique_ptr<wchar_t[]> list(new (std::nothrow) wchar_t[room]());
    if (!list || !key.ReadString(L"DefaultExtList", list.get(), room))
        return nullptr;

    // Entries are separated by spaces (or are the strings of a multi-string).
    // Runs of separators collapse, so a doubled or leading space does not end
    // the list early.
    DWORD write = 0;
    bool inEntry = false;
    for (DWORD read = 0; read < length; ++read) {
        const wchar_t c = list[read];
        if (c == L' ' || c == L'\0') {
            if (inEntry)
                list[write++] = L'\0';
            inEntry = false;
        } else {
            list[write++] = c;
            inEntry = true;
        }
    }
    while (write < room)
        list[write++] = L'\0';
    return list;
}

BOOL CIFilterRegistryHelperSharepoint2001::FindDefaultFilter(const wchar_t* extension, FilterLookupRecord& record)
{
    if (!extension)
        return FALSE;
    std::unique_ptr<wchar_t[]> list = GetDefaultExtensionList();
    if (!list)
        return FALSE;
    wchar_t wanted[kExtensionCapacity];
    if (BoundedCopy(wanted, kExtensionCapacity, extension) != S_OK)
        return FALSE;
    CharLowerW(wanted);

    for (const wchar_t* entry = list.get(); *entry; entry += wcslen(entry) + 1) {
        // The page extension comes without a dot; so does an entry.
        const wchar_t* bare = entry[0] == L'.' ? entry + 1 : entry;
        wchar_t candidate[kExtensionCapacity];
        if (BoundedCopy(candidate, kExtensionCapacity, bare) != S_OK)
            continue;
        CharLowerW(candidate);
        if (wcscmp(candidate, wanted) == 0)
            return ReadDefaultFilter(record);
    }
    return FALSE;
}

BOOL CIFilterRegistryHelperSharepoint2001::IsProductInstalled()
{
    CRegistry key;
    DWORD version = 0;
    return key.Open(HKEY_LOCAL_MACHINE, kSharePointKey) && !key.ReadDword(L"SPSV2", &version);
}
