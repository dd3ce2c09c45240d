#include "environment/CDLLsInformationBase.h"

#include "environment/VerifyFileTrust.h"
#include "util/BoundedString.h"
#include "util/ComPtr.h"
#include "util/FileExists.h"

namespace {

using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID clsid, REFIID iid, void** object);

// Filters that are known to take files only; loading them to ask would be slow
// or would start a whole reader application.
const wchar_t* const kKnownFileFilters[] = {L"ZONDRAKEX", L"PDFFILT", L"ACRORDIF"};

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The file name without folder and extension, upper-cased; false when it does
// not fit the buffer.
bool UpperBaseName(const wchar_t* path, wchar_t* name, size_t capacity)
{
    const wchar_t* start = path;
    if (path[0] != L'\0' && path[1] == L':')
        start = path + 2;
    for (const wchar_t* p = start; *p; ++p) {
        if (IsSeparator(*p))
            start = p + 1;
    }
    const wchar_t* end = nullptr;
    for (const wchar_t* p = start; *p; ++p) {
        if (*p == L'.')
            end = p;
    }
    if (!end) {
        end = start;
        while (*end)
            ++end;
    }
    const size_t length = static_cast<size_t>(end - start);
    if (length >= capacity)
        return false;
    for (size_t i = 0; i < length; ++i)
        name[i] = start[i];
    name[length] = L'\0';
    CharUpperW(name);
    return true;
}

// The drive and folder part of path, with its closing separator; false when the
// drive or the folder does not fit its buffer, or the two together do not fit.
bool DllFolder(const wchar_t* path, wchar_t* folder, size_t capacity)
{
    wchar_t drive[CDLLsInformationBase::kSplitCapacity] = {};
    wchar_t directory[CDLLsInformationBase::kSplitCapacity] = {};
    const wchar_t* rest = path;
    if (path[0] != L'\0' && path[1] == L':') {
        drive[0] = path[0];
        drive[1] = L':';
        rest = path + 2;
    }
    const wchar_t* lastSeparator = nullptr;
    for (const wchar_t* p = rest; *p; ++p) {
        if (IsSeparator(*p))
            lastSeparator = p;
    }
    if (lastSeparator) {
        const size_t length = static_cast<size_t>(lastSeparator - rest) + 1;
        if (length >= CDLLsInformationBase::kSplitCapacity)
            return false;
        for (size_t i = 0; i < length; ++i)
            directory[i] = rest[i];
        directory[length] = L'\0';
    }
    return BoundedCopy(folder, capacity, drive) == S_OK && BoundedAppend(folder, capacity, directory) == S_OK;
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
        ComPtr<IPersistFile> file;
        *persistFile = SUCCEEDED(object->QueryInterface(IID_IPersistFile, file.put_void())) ? TRUE : FALSE;
        ComPtr<IPersistStream> stream;
        *persistStream = SUCCEEDED(object->QueryInterface(IID_IPersistStream, stream.put_void())) ? TRUE : FALSE;
        ComPtr<IPersistStorage> storage;
        *persistStorage = SUCCEEDED(object->QueryInterface(IID_IPersistStorage, storage.put_void())) ? TRUE : FALSE;
    } catch (...) {
        // A foreign filter's failure leaves the answers reached so far.
    }
}

HMODULE CDLLsInformationBase::LoadFilterObject(const wchar_t* path, const wchar_t* clsid, IFilter** object)
{
    if (!object)
        return nullptr;
    if (*object) {
        IFilter* held = *object;
        *object = nullptr;
        held->Release();
    }
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
        if (SUCCEEDED(getClassObject(classId, IID_IClassFactory, factory.put_void())) && factory) {
            IFilter* created = nullptr;
            // What a failing CreateInstance leaves in its output is not to be used.
            if (SUCCEEDED(factory->CreateInstance(nullptr, IID_IFilter, reinterpret_cast<void**>(&created))))
                *object = created;
        }
    } catch (...) {
        // A foreign DLL's failure gives no object; the handle obtained stands.
    }
    return module;
}
