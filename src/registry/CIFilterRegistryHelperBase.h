#pragma once
#include <windows.h>

#include <memory>

#include "registry/FilterLookupRecord.h"

// Finds, for a page's file extension, the filter class and DLL that a search
// product would use, and probes the DLL into a FilterLookupRecord. This class
// owns the order of the lookup and the steps every product shares; the
// derived helpers say where each product keeps its registrations. Helpers only
// read the registry (under HKEY_LOCAL_MACHINE unless a product says otherwise)
// and live for one lookup.
class CIFilterRegistryHelperBase {
public:
    static constexpr size_t kKeyCapacity = 2048;
    // Path buffers of the DLL search.
    static constexpr size_t kSearchCapacity = 261;
    // A registered InprocServer32 path is limited to this, terminator included.
    static constexpr size_t kRegisteredPathCapacity = 256;

    CIFilterRegistryHelperBase() = default;
    virtual ~CIFilterRegistryHelperBase() = default;
    CIFilterRegistryHelperBase(const CIFilterRegistryHelperBase&) = delete;
    CIFilterRegistryHelperBase& operator=(const CIFilterRegistryHelperBase&) = delete;

    // The whole lookup. The extension comes without its dot; the record is
    // initialised and its dllsInformation set. True when a registration was
    // found and its DLL probed (status tells the rest); false when nothing was
    // found or the probe itself failed.
    virtual BOOL FindFilter(const wchar_t* extension, FilterLookupRecord& record) final;
    // The product's list of extensions served by its default filter: entries
    // separated by terminators, ended by an empty entry. None here.
    virtual std::unique_ptr<wchar_t[]> GetDefaultExtensionList();
    // The filter CLSID that the persistent handler names as its IFilter add-in.
    virtual BOOL FindFilterClsidForHandler(const wchar_t* handler, FilterLookupRecord& record);
    // The product's default filter for the extension. None here.
    virtual BOOL FindDefaultFilter(const wchar_t* extension, FilterLookupRecord& record);
    // From the record's source to the filter CLSID, its description and its DLL.
    virtual BOOL ResolveFilter(FilterLookupRecord& record) final;
    // Where the product registers a filter for the extension: fills the
    // handler or the filter CLSID and the source.
    virtual BOOL FindRegistrationForExtension(const wchar_t* extension, FilterLookupRecord& record) = 0;
    // Points filterDllPath at the product's own copy of the DLL. None here.
    virtual BOOL RedirectToLocalCopy(FilterLookupRecord& record);

    // Asks the record's dllsInformation whether the DLL exists and which
    // persistence interfaces the class offers.
    static BOOL ProbeFilterDll(FilterLookupRecord& record);
    // The full path of the DLL registered for the class: a registered folder is
    // searched alone; a bare file name is looked for in the system folder, then
    // along the default search path. out is empty on failure.
    static BOOL LocateFilterDll(const wchar_t* clsid, wchar_t* out, size_t capacity);
    // The class's InprocServer32 default value, environment references expanded
    // when it is stored as REG_EXPAND_SZ. out is written only on success.
    static BOOL ReadInprocServerPath(const wchar_t* clsid, wchar_t* out, size_t capacity);

private:
    static void ReadClassName(FilterLookupRecord& record);
};
