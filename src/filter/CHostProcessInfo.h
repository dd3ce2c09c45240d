#pragma once
#include <windows.h>

#include <filter.h>

#include <memory>

#include "crawler/IPageFilterLocator.h"
#include "environment/CDLLsInformation.h"
#include "registry/CIFilterRegistryHelperBase.h"
#include "registry/FilterLookupRecord.h"
#include "foreign/ForeignModule.h"
#include "foreign/ForeignPtr.h"
#include "util/owners/LibraryHandle.h"

// Who is hosting the filter: the host executable's path and its upper-cased
// base name (for example "MSSDMN"), read once when the filter object is made,
// and the filter-DLL information with its probe cache for this filter object.
class CHostProcessInfo : public IPageFilterLocator {
public:
    static constexpr size_t kPathCapacity = 2048;
    // An extension or a base name part.
    static constexpr size_t kPartCapacity = 257;
    // The work buffer of the product match.
    static constexpr size_t kMatchCapacity = 2049;

    CHostProcessInfo();
    // For tests and callers that know the host path already.
    explicit CHostProcessInfo(const wchar_t* hostPath);
    CHostProcessInfo(const CHostProcessInfo&) = delete;
    CHostProcessInfo& operator=(const CHostProcessInfo&) = delete;

    const wchar_t* HostPath() const { return m_hostPath; }
    const wchar_t* HostBaseName() const { return m_hostBaseName; }
    CDLLsInformation& DLLsInformation() { return m_dllsInformation; }

    // Whether the host's search product registers a filter for the file's
    // extension; the record's status tells whether it is usable. A filter whose
    // DLL has faulted in a call of ours, in this process, is not found again.
    BOOL FindFilter(const wchar_t* path, FilterLookupRecord& record);
    // For the crawler: whether FindFilter finds one (usable or not; the page
    // filter is made later from the extracted file).
    bool HasPageFilter(const wchar_t* name) override;
    // The page filter for an extracted page file, in filter (empty when none can
    // be made), and the module to free when the page is done. The handle holds a
    // reference of its own, so freeing it never unloads a DLL someone else uses.
    // Every call into the filter's DLL is guarded; after a fault there the DLL
    // is in the process's record of faults, nothing of it is released and no
    // handle is given.
    ForeignModule LoadPageFilter(const wchar_t* path, ForeignPtr<IFilter>& filter);
    ForeignModule CreatePageFilter(const wchar_t* path, const FilterLookupRecord& record,
                                   ForeignPtr<IFilter>& filter);
    // The page filter for a page held in memory (name says its extension),
    // given the page through IInitializeWithStream, else IPersistStream; the
    // same lookup, guard and record of faults as LoadPageFilter. needsFile
    // becomes true when the product's filter takes neither (or is opened by
    // path through the indexing library): the page can reach it only as a
    // page file, through LoadPageFilter.
    ForeignModule LoadPageFilterOnStream(const wchar_t* name, IStream* page, ForeignPtr<IFilter>& filter,
                                         bool& needsFile);

    // The search-product helper for this host, owned by the caller.
    std::unique_ptr<CIFilterRegistryHelperBase> CreateHelperForHost();
    // The product whose program folder holds the running host, or none.
    std::unique_ptr<CIFilterRegistryHelperBase> MatchInstalledProduct();

    // The extension of a path's file name part, dot included, upper-cased.
    // 0 when there is none, or only a lone dot, or it does not fit.
    static BOOL PageExtension(const wchar_t* path, wchar_t* extension, size_t capacity);

private:
    using LoadIFilterFn = HRESULT(WINAPI*)(LPCWSTR path, IUnknown* outer, void** object);

    void SetHostPath(const wchar_t* hostPath);
    ForeignModule CreateThroughLoadIFilter(const wchar_t* path, const FilterLookupRecord& record,
                                           const wchar_t* moduleName, ForeignPtr<IFilter>& filter);
    ForeignModule CreateFromClassObject(const wchar_t* path, const FilterLookupRecord& record,
                                        ForeignPtr<IFilter>& filter);
    // An object of the record's class, not yet given a page, and the module
    // reference its page holds.
    ForeignModule MakeFromClassObject(const FilterLookupRecord& record, ForeignPtr<IFilter>& object);
    static bool IsLoadIFilterModule(const FilterLookupRecord& record, wchar_t* moduleName, size_t capacity);

    // Built before the strings.
    CDLLsInformation m_dllsInformation;
    wchar_t m_hostPath[kPathCapacity] = {};
    wchar_t m_hostBaseName[kPathCapacity] = {};
    // The indexing library, loaded on first need and kept while this object lives.
    LibraryHandle m_indexingLibrary;
    LoadIFilterFn m_loadIFilter = nullptr;
};
