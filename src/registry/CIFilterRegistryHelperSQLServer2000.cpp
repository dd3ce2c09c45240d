#include "registry/CIFilterRegistryHelperSQLServer2000.h"

#include <cwchar>
#include <memory>
#include <new>

#include "registry/CRegistry.h"
#include "registry/JoinKeyPath.h"
#include "registry/ReadRegistryText.h"
#include "util/paths/AppendBackslash.h"
#include "util/strings/BoundedString.h"
#include "util/paths/FileExists.h"
#include "util/paths/SplitPath.h"

namespace {
constexpr size_t kDriveCapacity = 4;
constexpr size_t kPartCapacity = 257;

// Copies text into out only when it fits whole.
bool CopyWhole(wchar_t* out, size_t capacity, const wchar_t* text)
{
    size_t length = 0;
    if (FAILED(BoundedLength(text, kMaxBoundedCapacity, &length)) || length >= capacity)
        return false;
    return BoundedCopy(out, capacity, text) == S_OK;
}
}  // namespace

CIFilterRegistryHelperSQLServer2000::CIFilterRegistryHelperSQLServer2000()
{
    ApplyProfile(SearchProduct::SQLServer2000);
}

void CIFilterRegistryHelperSQLServer2000::ApplyProfile(SearchProduct product)
{
    const ProductProfile& profile = GetProductProfile(product);
    BoundedCopy(m_processName, kFolderCapacity, profile.processName);
    BoundedCopy(m_installKey, kProfileCapacity, profile.installKey);
    BoundedCopy(m_installValue, kProfileCapacity, profile.installValue);
    BoundedCopy(m_programSubFolder, kProfileCapacity, profile.programSubFolder);
    BoundedCopy(m_productKey, kProductKeyCapacity, profile.productKey);
    BoundedCopy(m_applicationName, kProductKeyCapacity, profile.applicationName);
}

BOOL CIFilterRegistryHelperSQLServer2000::GetContentIndexKey(HKEY* root, wchar_t* path, size_t capacity)
{
    if (!root || !path || capacity == 0)
        return FALSE;
    const BOOL joined = m_productKey[0] == L'\0'
                            ? JoinKeyPath(path, capacity, {L"SOFTWARE\\Microsoft", L"\\ContentIndexCommon"})
                            : JoinKeyPath(path, capacity,
                                          {L"SOFTWARE\\Microsoft", L"\\", m_productKey, L"\\ContentIndexCommon"});
    if (!joined)
        return FALSE;
    *root = HKEY_LOCAL_MACHINE;
    return TRUE;
}

BOOL CIFilterRegistryHelperSQLServer2000::OpenFiltersKey(CRegistry& key, const wchar_t* piece, const wchar_t* name)
{
    HKEY root = nullptr;
    wchar_t contentIndex[kKeyCapacity];
    wchar_t path[kKeyCapacity];
    if (!GetContentIndexKey(&root, contentIndex, kKeyCapacity) ||
        !JoinKeyPath(path, kKeyCapacity, {contentIndex, L"\\Filters", piece, name}))
        return FALSE;
    return key.Open(root, path);
}

BOOL CIFilterRegistryHelperSQLServer2000::ReadProductFilter(const wchar_t* piece, const wchar_t* name,
                                                            FilterLookupRecord& record)
{
    CRegistry key;
    if (!OpenFiltersKey(key, piece, name))
        return FALSE;
    // Any stored length; only a CLSID that fits the record is taken.
    return ReadRegistryText(key, nullptr, record.filterClsid, FilterLookupRecord::kClsidCapacity, 0);
}

BOOL CIFilterRegistryHelperSQLServer2000::FindProductExtensionFilter(const wchar_t* extension,
                                                                    FilterLookupRecord& record)
{
    if (!extension || !ReadProductFilter(L"\\Extension\\.", extension, record))
        return FALSE;
    record.source = SOURCE_PRODUCT_EXTENSION;
    return TRUE;
}

BOOL CIFilterRegistryHelperSQLServer2000::FindProductClsidFilter(const wchar_t* clsid, FilterLookupRecord& record)
{
    if (!clsid || clsid[0] == L'\0' || !ReadProductFilter(L"\\CLSID\\", clsid, record))
        return FALSE;
    record.source |= SOURCE_PRODUCT_CLSID;
    return TRUE;
}

BOOL CIFilterRegistryHelperSQLServer2000::ReadDefaultFilter(FilterLookupRecord& record)
{
    if (!ReadProductFilter(L"\\Default", L"", record))
        return FALSE;
    record.source = SOURCE_PRODUCT_DEFAULT;
    return TRUE;
}

BOOL CIFilterRegistryHelperSQLServer2000::FindFilterClsidForHandler(const wchar_t* handler,
                                                                   FilterLookupRecord& record)
{
    if (FindProductClsidFilter(handler, record))
        return TRUE;
    return CIFilterRegistryHelperBase::FindFilterClsidForHandler(handler, record);
}

BOOL CIFilterRegistryHelperSQLServer2000::FindRegistrationForExtension(const wchar_t* extension,
                                                                      FilterLookupRecord& record)
{
    if (FindProductExtensionFilter(extension, record))
        return TRUE;
    return CIFilterRegistryHelperIndexingService30::FindRegistrationForExtension(extension, record);
}

BOOL CIFilterRegistryHelperSQLServer2000::GetProductBinDirectory(wchar_t* folder, size_t capacity)
{
    if (!folder || capacity == 0 || capacity > kMaxBoundedCapacity)
        return FALSE;
    if (!m_programFolderResolved) {
        m_programFolderResolved = TRUE;
        m_programFolder[0] = L'\0';
        ResolveProgramFolder(capacity);
    }
    if (m_programFolder[0] == L'\0')
        return FALSE;
    return CopyWhole(folder, capacity, m_programFolder) ? TRUE : FALSE;
}

void CIFilterRegistryHelperSQLServer2000::ResolveProgramFolder(size_t capacity)
{
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, m_installKey))
        return;
    std::unique_ptr<wchar_t[]> location(new (std::nothrow) wchar_t[capacity]());
    BOOL expandable = FALSE;
    if (!location ||
        !ReadRegistryText(key, m_installValue, location.get(), capacity, static_cast<DWORD>(capacity), &expandable))
        return;
    if (expandable) {
        std::unique_ptr<wchar_t[]> expanded(new (std::nothrow) wchar_t[capacity]());
        if (!expanded)
            return;
        const DWORD length = ExpandEnvironmentStringsW(location.get(), expanded.get(), static_cast<DWORD>(capacity));
        if (length == 0 || length > capacity)
            return;
        location.swap(expanded);
    }

    wchar_t folder[kFolderCapacity];
    if (!CopyWhole(folder, kFolderCapacity, location.get()))
        return;
    if (!AppendBackslash(folder, kFolderCapacity))
        return;
    if (m_programSubFolder[0] != L'\0') {
        if (BoundedAppend(folder, kFolderCapacity, m_programSubFolder) != S_OK)
            return;
        if (!AppendBackslash(folder, kFolderCapacity))
            return;
    }
    BoundedCopy(m_programFolder, kFolderCapacity, folder);
}

BOOL CIFilterRegistryHelperSQLServer2000::IsProductInstalled()
{
    return TRUE;
}

BOOL CIFilterRegistryHelperSQLServer2000::HasExeLocal()
{
    if (m_exeLocalComputed)
        return m_exeLocalPresent;
    m_exeLocalComputed = TRUE;
    m_exeLocalPresent = FALSE;

    wchar_t path[kFolderCapacity];
    if (!GetProductBinDirectory(path, kFolderCapacity))
        return FALSE;
    if (BoundedAppend(path, kFolderCapacity, m_processName) != S_OK ||
        BoundedAppend(path, kFolderCapacity, L".exe.local") != S_OK)
        return FALSE;
    m_exeLocalPresent = FileExists(path);
    return m_exeLocalPresent;
}

BOOL CIFilterRegistryHelperSQLServer2000::RedirectToLocalCopy(FilterLookupRecord& record)
{
    wchar_t folder[kFolderCapacity];
    if (!HasExeLocal() || !GetProductBinDirectory(folder, kFolderCapacity))
        return FALSE;

    wchar_t dllDrive[kDriveCapacity];
    wchar_t dllDirectory[kPartCapacity];
    wchar_t name[kPartCapacity];
    wchar_t extension[kPartCapacity];
    wchar_t folderDrive[kDriveCapacity];
    wchar_t folderDirectory[kPartCapacity];
    wchar_t folderName[kPartCapacity];
    wchar_t folderExtension[kPartCapacity];
    if (!SplitPath(record.filterDllPath, dllDrive, kDriveCapacity, dllDirectory, kPartCapacity, name, kPartCapacity,
                   extension, kPartCapacity) ||
        !SplitPath(folder, folderDrive, kDriveCapacity, folderDirectory, kPartCapacity, folderName, kPartCapacity,
                   folderExtension, kPartCapacity))
        return FALSE;
    CharUpperW(dllDrive);
    CharUpperW(dllDirectory);
    CharUpperW(folderDrive);
    CharUpperW(folderDirectory);
    if (wcscmp(dllDrive, folderDrive) == 0 && wcscmp(dllDirectory, folderDirectory) == 0)
        return FALSE;  // already the program folder's copy

    wchar_t local[kFolderCapacity];
    if (FAILED(BoundedCopy(local, kFolderCapacity, folder)) || BoundedAppend(local, kFolderCapacity, name) != S_OK ||
        BoundedAppend(local, kFolderCapacity, extension) != S_OK)
        return FALSE;
    if (!FileExists(local) || !CopyWhole(record.filterDllPath, FilterLookupRecord::kPathCapacity, local))
        return FALSE;
    record.source |= SOURCE_LOCAL_COPY;
    return TRUE;
}
