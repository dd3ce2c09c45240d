#pragma once
#include <windows.h>

class CDLLsInformationBase;

// status: what the probe found out about the filter's DLL and class.
constexpr DWORD STATUS_USABLE = 0;
constexpr DWORD STATUS_NO_PERSIST = 4;
constexpr DWORD STATUS_DLL_MISSING = 8;

// source: where the registration was found. The last three are bits added to
// whatever source the record already has.
constexpr DWORD SOURCE_CLASS_HANDLER = 0x00000001;
constexpr DWORD SOURCE_EXTENSION_HANDLER = 0x00000002;
constexpr DWORD SOURCE_PRODUCT_EXTENSION = 0x00020004;
constexpr DWORD SOURCE_CONTENT_TYPE_HANDLER = 0x00000010;
constexpr DWORD SOURCE_PRODUCT_DEFAULT = 0x00000020;
constexpr DWORD SOURCE_PRODUCT_CLSID = 0x00010000;
constexpr DWORD SOURCE_LOCAL_COPY = 0x00040000;
constexpr DWORD SOURCE_DEFAULT_FALLBACK = 0x00080000;

// The answer of one extension lookup, owned by the caller. The caller
// initialises it and sets dllsInformation before every lookup.
struct FilterLookupRecord {
    // A CLSID in registry form: braces, 38 characters, terminator.
    static constexpr size_t kClsidCapacity = 39;
    static constexpr size_t kPathCapacity = 2048;

    FilterLookupRecord() { Initialise(); }

    // Empty strings, no source, untrusted, no interface, STATUS_NO_PERSIST and
    // no probing object.
    void Initialise();

    wchar_t persistentHandler[kClsidCapacity];
    wchar_t filterClsid[kClsidCapacity];
    wchar_t filterDllPath[kPathCapacity];
    // The filter class's description.
    wchar_t filterName[kPathCapacity];
    DWORD source;
    BOOL trusted;
    DWORD status;
    BOOL supportsPersistFile;
    BOOL supportsPersistStream;
    BOOL supportsPersistStorage;
    // Not owned; the host's probing object with its cache.
    CDLLsInformationBase* dllsInformation;
};
