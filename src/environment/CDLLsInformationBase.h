#pragma once
#include <windows.h>
#include <filter.h>

#include "foreign/ForeignPtr.h"

// Answers three questions about a filter DLL and one of its classes by looking
// at the file directly: does the DLL exist (and is its signature trusted), how
// is its path spelled, and which persistence interfaces does an object of the
// class offer. Also loads a filter DLL and creates its IFilter object.
class CDLLsInformationBase {
public:
    static constexpr size_t kNameCapacity = 257;
    static constexpr size_t kSplitCapacity = 261;

    CDLLsInformationBase() = default;
    virtual ~CDLLsInformationBase() = default;
    CDLLsInformationBase(const CDLLsInformationBase&) = delete;
    CDLLsInformationBase& operator=(const CDLLsInformationBase&) = delete;

    // Rewrites path (a buffer of capacity characters) to the spelling to use;
    // 0 for an empty path, a bad capacity, or a path cut to fit.
    virtual BOOL GetDisplayPath(wchar_t* path, size_t capacity);
    // 0 for an empty path (outputs untouched); otherwise sets both and gives 1.
    virtual BOOL QueryFileStatus(const wchar_t* path, BOOL* found, BOOL* trusted);
    // 0 when either string is empty (outputs untouched); otherwise sets all
    // three and gives 1.
    virtual BOOL QueryPersistSupport(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile,
                                     BOOL* persistStream, BOOL* persistStorage);

    // Lets go of what object held, then loads the DLL (or finds it loaded) and
    // creates an IFilter of class clsid through its class factory. Returns the
    // DLL's module handle, with or without an object; null when the DLL cannot
    // be loaded, the CLSID string is not one, or the DLL has faulted before (in
    // this process). A DLL loaded here is loaded with CoLoadLibrary and may be
    // released with CoFreeLibrary. Every call into the DLL is guarded, its
    // DllMain as it loads included; a fault goes into the process's record of
    // faults and gives no object. *loadedHere tells whether the handle carries
    // a reference taken here.
    HMODULE LoadFilterObject(const wchar_t* path, const wchar_t* clsid, ForeignPtr<IFilter>& object,
                             bool* loadedHere = nullptr);

    // Which persistence interfaces an object of the class offers; all 0 when
    // none can be made. Known filters answer IPersistFile only, unloaded.
    void ProbePersistInterfaces(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile,
                                BOOL* persistStream, BOOL* persistStorage);

    // When 0, signatures are not checked and every DLL counts as untrusted.
    BOOL verifyTrust = TRUE;
};
