#include "filter/CHostProcessInfo.h"

#include <propsys.h>

#include <cwchar>
#include <new>

#include "registry/CIFilterRegistryHelperIndexingService30.h"
#include "registry/CIFilterRegistryHelperMSNDesktopSearch.h"
#include "registry/CIFilterRegistryHelperOfficeServer12.h"
#include "registry/CIFilterRegistryHelperSQLServer2000.h"
#include "registry/CIFilterRegistryHelperSharepoint2001.h"
#include "registry/CIFilterRegistryHelperSharepoint2003.h"
#include "registry/CIFilterRegistryHelperWindowsServerExtensions12.h"
#include "environment/EnvironmentFacts.h"
#include "foreign/AddModuleReference.h"
#include "util/strings/BoundedString.h"
#include "foreign/ForeignFunction.h"
#include "util/paths/SplitPath.h"

namespace {
// Filter DLLs that are opened through the indexing library's own lookup.
constexpr const wchar_t* kLoadIFilterModules[] = {L"PDFFILT", L"ACRORDIF"};

bool IsSlashOrColon(wchar_t c)
{
    return c == L'\\' || c == L'/' || c == L':';
}

// The file name part of a path, and its last dot (null when it has none).
const wchar_t* FileNamePart(const wchar_t* path, const wchar_t** dot)
{
    const wchar_t* name = path;
    *dot = nullptr;
    for (const wchar_t* p = path; *p; ++p) {
        if (IsSlashOrColon(*p)) {
            name = p + 1;
            *dot = nullptr;
        } else if (*p == L'.') {
            *dot = p;
        }
    }
    return name;
}

// The base name of a DLL path, upper-cased; empty when it does not fit.
void UpperBaseName(const wchar_t* path, wchar_t* out, size_t capacity)
{
    out[0] = L'\0';
    const wchar_t* dot = nullptr;
    const wchar_t* name = FileNamePart(path, &dot);
    const size_t length = dot ? static_cast<size_t>(dot - name) : wcslen(name);
    if (length >= capacity)
        return;
    wmemcpy(out, name, length);
    out[length] = L'\0';
    CharUpperW(out);
}

template <typename Helper>
std::unique_ptr<CIFilterRegistryHelperSQLServer2000> MakeProduct()
{
    return std::unique_ptr<CIFilterRegistryHelperSQLServer2000>(new (std::nothrow) Helper);
}
}  // namespace

CHostProcessInfo::CHostProcessInfo()
{
    wchar_t path[kPathCapacity] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kPathCapacity);
    // A cut path is still terminated by GetModuleFileNameW on NT; make sure anyway.
    path[length < kPathCapacity ? length : kPathCapacity - 1] = L'\0';
    SetHostPath(path);
}

CHostProcessInfo::CHostProcessInfo(const wchar_t* hostPath)
{
    SetHostPath(hostPath);
}

void CHostProcessInfo::SetHostPath(const wchar_t* hostPath)
{
    BoundedCopy(m_hostPath, kPathCapacity, hostPath);

    // The file name part, without folder and extension.
    SplitPath(m_hostPath, nullptr, 0, nullptr, 0, m_hostBaseName, kPathCapacity, nullptr, 0);
    CharUpperW(m_hostBaseName);
}

BOOL CHostProcessInfo::PageExtension(const wchar_t* path, wchar_t* extension, size_t capacity)
{
    if (!path || !extension || capacity == 0)
        return FALSE;
    extension[0] = L'\0';
    const wchar_t* dot = nullptr;
    FileNamePart(path, &dot);
    if (!dot || dot[1] == L'\0')
        return FALSE;
    if (FAILED(BoundedCopy(extension, capacity, dot))) {
        extension[0] = L'\0';
        return FALSE;
    }
    CharUpperW(extension);
    return TRUE;
}

BOOL CHostProcessInfo::FindFilter(const wchar_t* path, FilterLookupRecord& record)
{
    // No extension, no lookup: the registry is not touched for such a page.
    wchar_t extension[kPartCapacity];
    if (!PageExtension(path, extension, kPartCapacity))
        return FALSE;
    try {
        std::unique_ptr<CIFilterRegistryHelperBase> helper = CreateHelperForHost();
        if (!helper)
            return FALSE;
        m_dllsInformation.verifyTrust = FALSE;
        record.dllsInformation = &m_dllsInformation;
        if (!helper->FindFilter(extension + 1, record))
            return FALSE;
        // A DLL that faulted in a call of ours is not called again: as if the
        // product had no filter for the extension.
        return ForeignFaults::Process().Contains(record.filterDllPath) ? FALSE : TRUE;
    } catch (...) {
        // The probe cache raises its XML errors; they mean "no filter".
        return FALSE;
    }
}

bool CHostProcessInfo::HasPageFilter(const wchar_t* name)
{
    FilterLookupRecord record;
    return FindFilter(name, record) != FALSE;
}

ForeignModule CHostProcessInfo::LoadPageFilter(const wchar_t* path, ForeignPtr<IFilter>& filter)
{
    try {
        FilterLookupRecord record;
        if (!FindFilter(path, record))
            return ForeignModule();
        return CreatePageFilter(path, record, filter);
    } catch (...) {
        return ForeignModule();
    }
}

bool CHostProcessInfo::IsLoadIFilterModule(const FilterLookupRecord& record, wchar_t* moduleName, size_t capacity)
{
    UpperBaseName(record.filterDllPath, moduleName, capacity);
    for (const wchar_t* known : kLoadIFilterModules) {
        if (wcscmp(moduleName, known) == 0)
            return true;
    }
    return false;
}

ForeignModule CHostProcessInfo::CreatePageFilter(const wchar_t* path, const FilterLookupRecord& record,
                                                 ForeignPtr<IFilter>& filter)
{
    filter.reset();
    try {
        wchar_t moduleName[kPartCapacity];
        return IsLoadIFilterModule(record, moduleName, kPartCapacity)
                   ? CreateThroughLoadIFilter(path, record, moduleName, filter)
                   : CreateFromClassObject(path, record, filter);
    } catch (...) {
        // Our own failure (memory): what was made goes, unless its DLL faulted.
        filter.reset();
        return ForeignModule();
    }
}

ForeignModule CHostProcessInfo::LoadPageFilterOnStream(const wchar_t* name, IStream* page, ForeignPtr<IFilter>& filter,
                                                       bool& needsFile)
{
    filter.reset();
    needsFile = false;
    try {
        FilterLookupRecord record;
        if (!page || !FindFilter(name, record))
            return ForeignModule();
        wchar_t moduleName[kPartCapacity];
        if (IsLoadIFilterModule(record, moduleName, kPartCapacity)) {
            needsFile = true;
            return ForeignModule();
        }
        // Declared before the object, so that the object goes first on every path out.
        ForeignModule module;
        ForeignPtr<IFilter> object;
        module = MakeFromClassObject(record, object);
        if (!module || !object)
            return ForeignModule();

        HRESULT hr = E_FAIL;
        ForeignPtr<IInitializeWithStream> initialize =
            object.query<IInitializeWithStream>(__uuidof(IInitializeWithStream));
        if (initialize) {
            initialize.call([&hr, page](IInitializeWithStream* i) { hr = i->Initialize(page, STGM_READ); });
            initialize.reset();
        } else {
            ForeignPtr<IPersistStream> persist = object.query<IPersistStream>(IID_IPersistStream);
            if (!persist) {
                needsFile = static_cast<bool>(object.query<IPersistFile>(IID_IPersistFile));
                return ForeignModule();
            }
            persist.call([&hr, page](IPersistStream* p) { hr = p->Load(page); });
            persist.reset();
        }
        if (FAILED(hr) || !object)
            return ForeignModule();
        filter = std::move(object);
        return module;
    } catch (...) {
        filter.reset();
        return ForeignModule();
    }
}

ForeignModule CHostProcessInfo::CreateThroughLoadIFilter(const wchar_t* path, const FilterLookupRecord& record,
                                                         const wchar_t* moduleName, ForeignPtr<IFilter>& filter)
{
    // The indexing library finds and loads the filter DLL on its own account,
    // whatever the spelling of its path: a DLL of that name that faulted is
    // not handed a page again.
    ForeignFaults& faults = ForeignFaults::Process();
    if (faults.Contains(GetModuleHandleW(moduleName)))
        return ForeignModule();
    if (!m_loadIFilter) {
        if (!m_indexingLibrary)
            m_indexingLibrary.reset(LoadLibraryW(L"query.dll"));
        if (!m_indexingLibrary)
            return ForeignModule();
        m_loadIFilter = reinterpret_cast<LoadIFilterFn>(
            reinterpret_cast<void*>(GetProcAddress(m_indexingLibrary.get(), "LoadIFilter")));
        if (!m_loadIFilter)
            return ForeignModule();
    }

    // The indexing library runs the filter's own class object, constructor
    // and Load inside this call: a fault there is the filter DLL's.
    const ForeignFunction<LoadIFilterFn> loadIFilter(m_loadIFilter, nullptr);
    IUnknown* raw = nullptr;
    HRESULT hr = E_FAIL;
    const bool returned = loadIFilter.call([&hr, &raw, path](LoadIFilterFn f) {
        hr = f(path, nullptr, reinterpret_cast<void**>(&raw));
    });
    const HMODULE owner = GetModuleHandleW(moduleName);
    if (!returned) {
        faults.Add(owner, record.filterDllPath);
        return ForeignModule();
    }
    ForeignPtr<IUnknown> object(SUCCEEDED(hr) ? raw : nullptr, owner);
    if (!object || !owner)
        return ForeignModule();  // an object of a DLL we cannot tell is not used
    ForeignPtr<IFilter> made = object.query<IFilter>(IID_IFilter);
    if (!made)
        return ForeignModule();
    object.reset();
    filter = std::move(made);

    // The page's handle gets a reference of its own, so freeing it after the
    // page leaves the library's reference, and the host's, alone.
    return ForeignModule(AddModuleReference(owner));
}

ForeignModule CHostProcessInfo::MakeFromClassObject(const FilterLookupRecord& record, ForeignPtr<IFilter>& object)
{
    CDLLsInformationBase* dlls = record.dllsInformation ? record.dllsInformation : &m_dllsInformation;

    // LoadFilterObject takes a reference only when it loads the DLL itself;
    // for a DLL already loaded (by the probe, the host, an earlier page) the
    // page takes its own, so that the one freed after the page is ours.
    ForeignModule module;
    bool loadedHere = false;
    HMODULE loaded = dlls->LoadFilterObject(record.filterDllPath, record.filterClsid, object, &loadedHere);
    if (loadedHere)
        module.reset(loaded);
    if (!object)
        return ForeignModule();
    if (!loadedHere)
        module.reset(AddModuleReference(loaded));
    if (!module)
        object.reset();
    return module;
}

ForeignModule CHostProcessInfo::CreateFromClassObject(const wchar_t* path, const FilterLookupRecord& record,
                                                      ForeignPtr<IFilter>& filter)
{
    // Declared before the object, so that on every path out the object is
    // released before the module reference is given back.
    ForeignModule module;
    ForeignPtr<IFilter> object;
    module = MakeFromClassObject(record, object);
    if (!module || !object)
        return ForeignModule();

    ForeignPtr<IPersistFile> file = object.query<IPersistFile>(IID_IPersistFile);
    HRESULT hr = E_FAIL;
    const bool pageLoaded =
        file && file.call([&hr, path](IPersistFile* f) { hr = f->Load(path, STGM_READ); }) && SUCCEEDED(hr);
    file.reset();
    if (!pageLoaded || !object)
        return ForeignModule();
    filter = std::move(object);
    return module;
}

std::unique_ptr<CIFilterRegistryHelperBase> CHostProcessInfo::CreateHelperForHost()
{
    std::unique_ptr<CIFilterRegistryHelperBase> helper;
    if (wcscmp(m_hostBaseName, L"MSNGATHER") == 0 || wcscmp(m_hostBaseName, L"WINDOWSSEARCHFILTER") == 0)
        helper.reset(new (std::nothrow) CIFilterRegistryHelperMSNDesktopSearch);
    else if (wcscmp(m_hostBaseName, L"MSSDMN") == 0 || wcscmp(m_hostBaseName, L"FILTDUMP") == 0)
        helper = MatchInstalledProduct();
    if (!helper)
        helper.reset(new (std::nothrow) CIFilterRegistryHelperIndexingService30);
    return helper;
}

std::unique_ptr<CIFilterRegistryHelperBase> CHostProcessInfo::MatchInstalledProduct()
{
    std::unique_ptr<wchar_t[]> work(new (std::nothrow) wchar_t[kMatchCapacity]);
    if (!work)
        return nullptr;
    using Maker = std::unique_ptr<CIFilterRegistryHelperSQLServer2000> (*)();
    // The order decides when a folder belongs to more than one product.
    const Maker makers[] = {
        MakeProduct<CIFilterRegistryHelperOfficeServer12>,
        MakeProduct<CIFilterRegistryHelperWindowsServerExtensions12>,
        MakeProduct<CIFilterRegistryHelperSharepoint2003>,
        MakeProduct<CIFilterRegistryHelperSharepoint2001>,
        MakeProduct<CIFilterRegistryHelperSQLServer2000>,
    };
    for (Maker make : makers) {
        std::unique_ptr<CIFilterRegistryHelperSQLServer2000> product = make();
        if (!product || !product->IsProductInstalled())
            continue;
        work[0] = L'\0';
        // The folder is read with the registry reads' limit of 2048 characters, in
        // one question for its type and size and one for its text.
        if (!product->GetProductBinDirectory(work.get(), kMatchCapacity - 1))
            continue;
        // The program folder is at most 260 characters, the size AppendPath works in.
        if (!AppendPath(work.get(), m_hostBaseName) || FAILED(BoundedAppend(work.get(), kMatchCapacity, L".exe")))
            continue;
        if (lstrcmpiW(work.get(), m_hostPath) == 0)
            return product;
    }
    return nullptr;
}
