#include "environment/CDLLsInformationBase.h"

#include "environment/FilterDllLoader.h"
#include "environment/VerifyFileTrust.h"
#include "util/strings/BoundedString.h"
#include "util/paths/FileExists.h"
#include "foreign/ForeignFunction.h"
#include "util/paths/SplitPath.h"

namespace {

using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID clsid, REFIID iid, void** object);

// Filters that are known to take files only; loading them to ask would be slow
// or would start a whole reader application.
const wchar_t* const kKnownFileFilters[] = {L"ZONDRAKEX", L"PDFFILT", L"ACRORDIF"};

// The file name without folder and extension, upper-cased; false when it does
// not fit the buffer.
bool UpperBaseName(const wchar_t* path, wchar_t* name, size_t capacity)
{
    if (!SplitPath(path, nullptr, 0, nullptr, 0, name, capacity, nullptr, 0))
        return false;
    CharUpperW(name);
    return true;
}

// The drive and folder part of path, with its closing separator; false when the
// drive or the folder does not fit its buffer, or the two together do not fit.
bool DllFolder(const wchar_t* path, wchar_t* folder, size_t capacity)
{
    wchar_t drive[CDLLsInformationBase::kSplitCapacity] = {};
    wchar_t directory[CDLLsInformationBase::kSplitCapacity] = {};
    if (!SplitPath(path, drive, CDLLsInformationBase::kSplitCapacity, directory, CDLLsInformationBase::kSplitCapacity,
                   nullptr, 0, nullptr, 0))
        return false;
    return BoundedCopy(folder, capacity, drive) == S_OK && BoundedAppend(folder, capacity, directory) == S_OK;
}

// Whether a foreign object answers the interface.
bool Offers(ForeignPtr<IFilter>& object, REFIID iid)
{
    return static_cast<bool>(object.query<IUnknown>(iid));
}

}  // namespace

BOOL CDLLsInformationBase::GetDisplayPath(wchar_t* path, size_t capacity)
{
    if (!path || capacity == 0 || capacity > kMaxBoundedCapacity || path[0] == L'\0')
        return FALSE;
    return BoundedCopy(path, capacity, path) == S_OK ? TRUE : FALSE;
}

BOOL CDLLsInformationBase::QueryFileStatus(const wchar_t* path, BOOL* found, BOOL* trusted)
{
    if (!path || path[0] == L'\0' || !found || !trusted)
        return FALSE;
    *found = FileExists(path);
    *trusted = FALSE;
    if (*found && verifyTrust)
        *trusted = VerifyFileTrust(path, FALSE);
    return TRUE;
}

BOOL CDLLsInformationBase::QueryPersistSupport(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile,
                                               BOOL* persistStream, BOOL* persistStorage)
{
    if (!path || path[0] == L'\0' || !clsid || clsid[0] == L'\0' || !persistFile || !persistStream ||
        !persistStorage)
        return FALSE;
    ProbePersistInterfaces(path, clsid, persistFile, persistStream, persistStorage);
    return TRUE;
}

void CDLLsInformationBase::ProbePersistInterfaces(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile,
                                                  BOOL* persistStream, BOOL* persistStorage)
{
    *persistFile = FALSE;
    *persistStream = FALSE;
    *persistStorage = FALSE;
    if (!path || !clsid)
        return;

    wchar_t name[kNameCapacity] = {};
    // No file has a longer name, so nothing could be created from it.
    if (!UpperBaseName(path, name, kNameCapacity))
        return;
    for (const wchar_t* known : kKnownFileFilters) {
        if (lstrcmpW(name, known) == 0) {
            *persistFile = TRUE;
            return;
        }
    }

    try {
        ForeignPtr<IFilter> object;
        LoadFilterObject(path, clsid, object);
        if (!object)
            return;
        *persistFile = Offers(object, IID_IPersistFile) ? TRUE : FALSE;
        *persistStream = Offers(object, IID_IPersistStream) ? TRUE : FALSE;
        *persistStorage = Offers(object, IID_IPersistStorage) ? TRUE : FALSE;
        object.reset();
    } catch (...) {
        // Our own failure (memory) leaves the answers reached so far.
    }
}

HMODULE CDLLsInformationBase::LoadFilterObject(const wchar_t* path, const wchar_t* clsid, ForeignPtr<IFilter>& object,
                                               bool* loadedHere)
{
    if (loadedHere)
        *loadedHere = false;
    // What the caller held goes first.
    object.reset();
    ForeignFaults& faults = ForeignFaults::Process();
    if (!path || path[0] == L'\0' || !clsid || faults.Contains(path))
        return nullptr;

    wchar_t folder[kSplitCapacity] = {};
    if (!DllFolder(path, folder, kSplitCapacity))
        return nullptr;

    CLSID classId;
    if (FAILED(CLSIDFromString(clsid, &classId)))
        return nullptr;

    HMODULE module = GetModuleHandleW(path);
    if (!module) {
        // The DLL's own dependencies may lie beside it; some filters find
        // them only through the current directory.
        wchar_t previous[MAX_PATH] = {};
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
        const bool remembered = length != 0 && length < MAX_PATH;
        const bool moved = remembered && folder[0] != L'\0' && SetCurrentDirectoryW(folder);
        // Loading runs the DLL's own start-up code.
        const bool returned = CallForeign([&module, path] { module = LoadFilterDll(path); });
        if (moved)
            SetCurrentDirectoryW(previous);
        if (!returned) {
            // Whatever the loader kept of it stays loaded, and is never called.
            faults.Add(GetModuleHandleW(path), path);
            return nullptr;
        }
        if (!module)
            return nullptr;
        if (loadedHere)
            *loadedHere = true;
    }
    if (faults.Contains(module))
        return module;

    const ForeignFunction<DllGetClassObjectFn> getClassObject(
        reinterpret_cast<DllGetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject"))),
        module);
    if (!getClassObject)
        return module;

    IClassFactory* rawFactory = nullptr;
    HRESULT hr = E_FAIL;
    if (!getClassObject.call([&hr, &rawFactory, &classId](DllGetClassObjectFn f) {
            hr = f(classId, IID_IClassFactory, reinterpret_cast<void**>(&rawFactory));
        })) {
        faults.Add(module, path);
        return module;
    }
    // What a failed call leaves in its out parameter is not ours.
    ForeignPtr<IClassFactory> factory(SUCCEEDED(hr) ? rawFactory : nullptr, module);
    if (!factory)
        return module;
    IFilter* rawFilter = nullptr;
    if (!factory.call([&hr, &rawFilter](IClassFactory* f) {
            hr = f->CreateInstance(nullptr, IID_IFilter, reinterpret_cast<void**>(&rawFilter));
        }))
        return module;
    if (SUCCEEDED(hr) && rawFilter)
        object = ForeignPtr<IFilter>(rawFilter, module);
    // A factory that faults on Release takes its DLL, and the new object, with
    // it: the object then counts as none.
    factory.reset();
    return module;
}
