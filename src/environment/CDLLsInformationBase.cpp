#include "environment/CDLLsInformationBase.h"

#include "environment/VerifyFileTrust.h"
#include "util/BoundedString.h"
#include "util/ComPtr.h"
#include "util/FileExists.h"
#include "util/SplitPath.h"

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

// Whether a foreign object answers the interface; what a failed query leaves
// behind is not ours to release.
bool Offers(IUnknown* object, REFIID iid)
{
    ComPtr<IUnknown> answer;
    answer.receive([&](IUnknown** out) { return object->QueryInterface(iid, reinterpret_cast<void**>(out)); });
    return static_cast<bool>(answer);
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
        ComPtr<IFilter> object;
        LoadFilterObject(path, clsid, object.put());
        if (!object)
            return;
        *persistFile = Offers(object.get(), IID_IPersistFile) ? TRUE : FALSE;
        *persistStream = Offers(object.get(), IID_IPersistStream) ? TRUE : FALSE;
        *persistStorage = Offers(object.get(), IID_IPersistStorage) ? TRUE : FALSE;
    } catch (...) {
        // A foreign filter's failure leaves the answers reached so far.
    }
}

HMODULE CDLLsInformationBase::LoadFilterObject(const wchar_t* path, const wchar_t* clsid, IFilter** object)
{
    if (!object)
        return nullptr;
    // What the caller held goes first.
    ComPtr<IFilter> previous(*object);
    *object = nullptr;
    previous.reset();
    if (!path || path[0] == L'\0' || !clsid)
        return nullptr;

    wchar_t folder[kSplitCapacity] = {};
    if (!DllFolder(path, folder, kSplitCapacity))
        return nullptr;

    CLSID classId;
    if (FAILED(CLSIDFromString(clsid, &classId)))
        return nullptr;

    HMODULE module = nullptr;
    try {
        module = GetModuleHandleW(path);
        if (!module) {
            // The DLL's own dependencies may lie beside it; some filters find
            // them only through the current directory.
            wchar_t previous[MAX_PATH] = {};
            const DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
            const bool remembered = length != 0 && length < MAX_PATH;
            const bool moved = remembered && folder[0] != L'\0' && SetCurrentDirectoryW(folder);
            module = CoLoadLibrary(const_cast<wchar_t*>(path), TRUE);
            if (moved)
                SetCurrentDirectoryW(previous);
            if (!module)
                return nullptr;
        }

        auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        if (!getClassObject)
            return module;

        ComPtr<IClassFactory> factory;
        factory.receive([&](IClassFactory** out) {
            return getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(out));
        });
        if (!factory)
            return module;
        ComPtr<IFilter> created;
        created.receive([&](IFilter** out) {
            return factory->CreateInstance(nullptr, IID_IFilter, reinterpret_cast<void**>(out));
        });
        *object = created.detach();
    } catch (...) {
        // A foreign DLL's failure gives no object; the handle obtained stands.
    }
    return module;
}
