#pragma once
#include <windows.h>

class CRegistry;

// The browser version recorded under "Software\Microsoft\Internet Explorer",
// read once at construction.
class CInternetExplorer {
public:
    static constexpr size_t kCustomizedCapacity = 256;

    CInternetExplorer();
    virtual ~CInternetExplorer() = default;
    CInternetExplorer(const CInternetExplorer&) = delete;
    CInternetExplorer& operator=(const CInternetExplorer&) = delete;

    // Reads the version again; the result is kept as the object's validity.
    BOOL ReadVersion();
    // 0 while no version was read. `text` (kCustomizedCapacity characters) may
    // be null; any of the parts may be null too.
    BOOL GetVersion(DWORD* major, DWORD* minor, DWORD* build, DWORD* subBuild, wchar_t* text) const;

private:
    BOOL ReadFromRegistry();
    BOOL ReadFromVersion(const CRegistry& key);
    BOOL ReadFromIVer(const CRegistry& key);

    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD subBuild = 0;
    wchar_t customizedVersion[kCustomizedCapacity] = {};
    BOOL valid = FALSE;
};

// The recorded version is at least the one given, compared part by part.
BOOL IsBrowserAtLeast(const CInternetExplorer& browser, DWORD major, DWORD minor, DWORD build, DWORD subBuild);
