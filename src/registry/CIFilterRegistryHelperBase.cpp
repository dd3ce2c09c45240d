#include "registry/CIFilterRegistryHelperBase.h"

#include <filter.h>
#include <objbase.h>

#include <memory>
#include <new>

#include "environment/CDLLsInformationBase.h"
#include "environment/EnvironmentFacts.h"
#include "registry/CRegistry.h"
#include "registry/JoinKeyPath.h"
#include "registry/ReadRegistryText.h"
#include "registry/SystemDirectorySource.h"
#include "util/paths/AppendBackslash.h"
#include "util/strings/BoundedString.h"
#include "util/paths/SplitPath.h"

namespace {
constexpr size_t kDriveCapacity = 4;
constexpr size_t kPartCapacity = 257;

// A heap buffer of `capacity` zeroed characters; the capacities here are the
// caller's and may be large.
std::unique_ptr<wchar_t[]> TextBuffer(size_t capacity)
{
    return std::unique_ptr<wchar_t[]>(new (std::nothrow) wchar_t[capacity]());
}

// The DLL as system folder + file name + extension, in its long form; false
// when the system folder has none of that name.
bool FindInSystemFolder(const wchar_t* name, const wchar_t* extension, wchar_t* out, size_t capacity)
{
    constexpr size_t kCapacity = CIFilterRegistryHelperBase::kSearchCapacity;
    wchar_t system[kCapacity] = {};
    const UINT length = FilterSystemDirectory(system, static_cast<UINT>(kCapacity));
    if (length == 0 || length >= kCapacity)
        return false;
    wchar_t candidate[kCapacity];
    if (FAILED(BoundedCopy(candidate, kCapacity, system)))
        return false;
    if (!AppendBackslash(candidate, kCapacity))
        return false;
    if (BoundedAppend(candidate, kCapacity, name) != S_OK || BoundedAppend(candidate, kCapacity, extension) != S_OK)
        return false;
    return GetLongPath(candidate, out, static_cast<DWORD>(capacity)) != 0;
}
}  // namespace

BOOL CIFilterRegistryHelperBase::FindFilter(const wchar_t* extension, FilterLookupRecord& record)
{
    if (!extension)
        return FALSE;
    if (!FindRegistrationForExtension(extension, record))
        return FALSE;
    if (!ResolveFilter(record))
        return TRUE;
    if (!ProbeFilterDll(record))
        return FALSE;
    if (record.status == STATUS_USABLE)
        return TRUE;

    // The registered filter cannot be used: the product's default filter may.
    const DWORD source = record.source;
    if (!FindDefaultFilter(extension, record) || !ResolveFilter(record))
        return TRUE;
    if (!ProbeFilterDll(record))
        return FALSE;
    if (record.status == STATUS_USABLE)
        record.source = source | SOURCE_DEFAULT_FALLBACK;
    return TRUE;
}

std::unique_ptr<wchar_t[]> CIFilterRegistryHelperBase::GetDefaultExtensionList()
{
    return nullptr;
}

BOOL CIFilterRegistryHelperBase::FindFilterClsidForHandler(const wchar_t* handler, FilterLookupRecord& record)
{
    if (!handler || handler[0] == L'\0')
        return FALSE;
    wchar_t filterInterface[FilterLookupRecord::kClsidCapacity] = {};
    if (StringFromGUID2(IID_IFilter, filterInterface, static_cast<int>(FilterLookupRecord::kClsidCapacity)) == 0)
        return FALSE;
    wchar_t path[kKeyCapacity];
    if (!JoinKeyPath(path, kKeyCapacity,
                     {L"SOFTWARE\\Classes\\CLSID\\", handler, L"\\PersistentAddinsRegistered\\", filterInterface}))
        return FALSE;
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path))
        return FALSE;
    return ReadRegistryText(key, nullptr, record.filterClsid, FilterLookupRecord::kClsidCapacity,
                            FilterLookupRecord::kClsidCapacity);
}

BOOL CIFilterRegistryHelperBase::FindDefaultFilter(const wchar_t*, FilterLookupRecord&)
{
    return FALSE;
}

BOOL CIFilterRegistryHelperBase::ResolveFilter(FilterLookupRecord& record)
{
    if (!(record.source & SOURCE_PRODUCT_CLSID)) {
        switch (record.source & 0xFFFF) {
        case SOURCE_CLASS_HANDLER:
        case SOURCE_EXTENSION_HANDLER:
        case SOURCE_CONTENT_TYPE_HANDLER:
            // A handler without an add-in leaves the CLSID empty; the DLL
            // search then fails and so does the probe.
            FindFilterClsidForHandler(record.persistentHandler, record);
            break;
        case SOURCE_PRODUCT_EXTENSION & 0xFFFF:
        case SOURCE_PRODUCT_DEFAULT:
            break;
        default:
            return FALSE;
        }
    }
    ReadClassName(record);
    if (LocateFilterDll(record.filterClsid, record.filterDllPath, FilterLookupRecord::kPathCapacity))
        RedirectToLocalCopy(record);
    return TRUE;
}

BOOL CIFilterRegistryHelperBase::RedirectToLocalCopy(FilterLookupRecord&)
{
    return FALSE;
}

BOOL CIFilterRegistryHelperBase::ProbeFilterDll(FilterLookupRecord& record)
{
    record.trusted = FALSE;
    record.supportsPersistFile = FALSE;
    record.supportsPersistStream = FALSE;
    record.supportsPersistStorage = FALSE;
    record.status = STATUS_NO_PERSIST;
    CDLLsInformationBase* dlls = record.dllsInformation;
    if (!dlls)
        return FALSE;
    if (!dlls->GetDisplayPath(record.filterDllPath, FilterLookupRecord::kPathCapacity))
        return FALSE;

    BOOL found = FALSE;
    BOOL trusted = FALSE;
    if (!dlls->QueryFileStatus(record.filterDllPath, &found, &trusted))
        return FALSE;
    record.trusted = trusted;
    if (!found) {
        record.status = STATUS_DLL_MISSING;
        return TRUE;
    }

    BOOL persistFile = FALSE;
    BOOL persistStream = FALSE;
    BOOL persistStorage = FALSE;
    if (!dlls->QueryPersistSupport(record.filterDllPath, record.filterClsid, &persistFile, &persistStream,
                                   &persistStorage))
        return FALSE;
    record.supportsPersistFile = persistFile;
    record.supportsPersistStream = persistStream;
    record.supportsPersistStorage = persistStorage;
    record.status = (persistFile || persistStream || persistStorage) ? STATUS_USABLE : STATUS_NO_PERSIST;
    return TRUE;
}

BOOL CIFilterRegistryHelperBase::LocateFilterDll(const wchar_t* clsid, wchar_t* out, size_t capacity)
{
    if (!out || capacity == 0 || capacity > kMaxBoundedCapacity)
        return FALSE;
    // Empty on failure, so that a second lookup into the same record never
    // probes the DLL of the first with the CLSID of the second.
    out[0] = L'\0';
    if (!clsid || clsid[0] == L'\0')
        return FALSE;

    wchar_t registered[kRegisteredPathCapacity];
    if (!ReadInprocServerPath(clsid, registered, kRegisteredPathCapacity))
        return FALSE;
    wchar_t drive[kDriveCapacity];
    wchar_t directory[kPartCapacity];
    wchar_t name[kPartCapacity];
    wchar_t extension[kPartCapacity];
    if (!SplitPath(registered, drive, kDriveCapacity, directory, kPartCapacity, name, kPartCapacity, extension,
                   kPartCapacity))
        return FALSE;
    wchar_t folder[kSearchCapacity];
    if (FAILED(BoundedCopy(folder, kSearchCapacity, drive)) ||
        BoundedAppend(folder, kSearchCapacity, directory) != S_OK)
        return FALSE;

    const wchar_t* searchFolder = nullptr;
    if (folder[0] == L'\0') {
        if (FindInSystemFolder(name, extension, out, capacity))
            return TRUE;
        // Not there: the platform's default search order.
    } else {
        searchFolder = folder;
    }

    std::unique_ptr<wchar_t[]> found = TextBuffer(capacity);
    if (!found)
        return FALSE;
    const DWORD length = SearchPathW(searchFolder, name, extension[0] ? extension : nullptr,
                                     static_cast<DWORD>(capacity), found.get(), nullptr);
    // A result of capacity or more is the size it would need: nothing written.
    if (length == 0 || length >= capacity)
        return FALSE;
    return GetLongPath(found.get(), out, static_cast<DWORD>(capacity)) != 0;
}

BOOL CIFilterRegistryHelperBase::ReadInprocServerPath(const wchar_t* clsid, wchar_t* out, size_t capacity)
{
    if (!clsid || !out || capacity == 0 || capacity > kMaxBoundedCapacity)
        return FALSE;
    wchar_t path[kKeyCapacity];
    if (!JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\CLSID\\", clsid, L"\\InprocServer32"}))
        return FALSE;
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path))
        return FALSE;

    std::unique_ptr<wchar_t[]> stored = TextBuffer(capacity);
    BOOL expandable = FALSE;
    if (!stored || !ReadRegistryText(key, nullptr, stored.get(), capacity, static_cast<DWORD>(capacity), &expandable))
        return FALSE;
    if (!expandable)
        return SUCCEEDED(BoundedCopy(out, capacity, stored.get())) ? TRUE : FALSE;

    std::unique_ptr<wchar_t[]> expanded = TextBuffer(capacity);
    if (!expanded)
        return FALSE;
    const DWORD length = ExpandEnvironmentStringsW(stored.get(), expanded.get(), static_cast<DWORD>(capacity));
    // More than capacity is the size it would need; the buffer then holds
    // nothing usable.
    if (length == 0 || length > capacity)
        return FALSE;
    return SUCCEEDED(BoundedCopy(out, capacity, expanded.get())) ? TRUE : FALSE;
}

void CIFilterRegistryHelperBase::ReadClassName(FilterLookupRecord& record)
{
    wchar_t path[kKeyCapacity];
    if (record.filterClsid[0] == L'\0' ||
        !JoinKeyPath(path, kKeyCapacity, {L"SOFTWARE\\Classes\\CLSID\\", record.filterClsid}))
        return;
    CRegistry key;
    if (key.Open(HKEY_LOCAL_MACHINE, path))
        ReadRegistryText(key, nullptr, record.filterName, FilterLookupRecord::kPathCapacity,
                         static_cast<DWORD>(FilterLookupRecord::kPathCapacity));
}
