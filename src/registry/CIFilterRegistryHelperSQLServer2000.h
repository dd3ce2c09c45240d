#pragma once
#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "registry/CRegistry.h"
#include "registry/ProductProfile.h"

// SQL Server 2000 full-text search: its own filter tables under
// "SOFTWARE\Microsoft\ContentIndexCommon\Filters" come before the standard
// registration, and its search process may load DLLs from its program folder
// (".exe.local"). Holds the data that every product helper shares; each
// product's constructor puts in its own ProductProfile.
class CIFilterRegistryHelperSQLServer2000 : public CIFilterRegistryHelperIndexingService30 {
public:
    static constexpr size_t kFolderCapacity = 261;
    static constexpr size_t kProfileCapacity = 2048;
    static constexpr size_t kProductKeyCapacity = 256;

    CIFilterRegistryHelperSQLServer2000();

    BOOL FindFilterClsidForHandler(const wchar_t* handler, FilterLookupRecord& record) override;
    BOOL FindRegistrationForExtension(const wchar_t* extension, FilterLookupRecord& record) override;
    BOOL RedirectToLocalCopy(FilterLookupRecord& record) override;

    // Root and path of the product's "...\ContentIndexCommon" key.
    virtual BOOL GetContentIndexKey(HKEY* root, wchar_t* path, size_t capacity);
    // The folder that holds the search process, ending with a backslash.
    // Resolved once per object; a failed resolution is not retried.
    virtual BOOL GetProductBinDirectory(wchar_t* folder, size_t capacity);
    virtual BOOL IsProductInstalled();
    // Whether "<process name>.exe.local" lies in the program folder, so the
    // search process loads DLLs found there. Computed once per object.
    virtual BOOL HasExeLocal();

    const wchar_t* ProcessName() const { return m_processName; }

protected:
    void ApplyProfile(SearchProduct product);

    // The product's "\Filters\Extension\.<ext>" names the filter CLSID.
    BOOL FindProductExtensionFilter(const wchar_t* extension, FilterLookupRecord& record);
    // The product's "\Filters\CLSID\<clsid>" names the filter CLSID.
    BOOL FindProductClsidFilter(const wchar_t* clsid, FilterLookupRecord& record);
    // The product's "\Filters\Default" names its default filter.
    BOOL ReadDefaultFilter(FilterLookupRecord& record);
    // Opens the content-index key followed by the pieces.
    BOOL OpenFiltersKey(CRegistry& key, const wchar_t* piece, const wchar_t* name);

private:
    BOOL ReadProductFilter(const wchar_t* piece, const wchar_t* name, FilterLookupRecord& record);
    void ResolveProgramFolder(size_t capacity);

    wchar_t m_processName[kFolderCapacity] = {};
    BOOL m_exeLocalComputed = FALSE;
    BOOL m_exeLocalPresent = FALSE;
    BOOL m_programFolderResolved = FALSE;
    wchar_t m_programFolder[kFolderCapacity] = {};
    wchar_t m_installKey[kProfileCapacity] = {};
    wchar_t m_installValue[kProfileCapacity] = {};
    wchar_t m_programSubFolder[kProfileCapacity] = {};
    wchar_t m_productKey[kProductKeyCapacity] = {};
    wchar_t m_applicationName[kProductKeyCapacity] = {};
};
