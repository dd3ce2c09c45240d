#pragma once
#include <windows.h>

// Where the version records come from: GetVersionExW unless a test binds
// another source.
using VersionRecordSource = BOOL(WINAPI*)(OSVERSIONINFOW* record);

// The operating system's version records, read once. Where the system has no
// extended record (Windows 9x, NT 4.0 before service pack 4) it is put
// together from the basic record and the registry.
class COperatingSystem {
public:
    explicit COperatingSystem(VersionRecordSource source = &GetVersionExW);
    virtual ~COperatingSystem() = default;
    COperatingSystem(const COperatingSystem&) = delete;
    COperatingSystem& operator=(const COperatingSystem&) = delete;

    BOOL Initialise();

    // The caller sets dwOSVersionInfoSize to the basic or the extended size;
    // the cached record is copied out while initialised, anything else goes to
    // the version source.
    BOOL GetVersionInfo(OSVERSIONINFOW* record) const;
    BOOL IsVersion(DWORD major, DWORD minor, DWORD platform) const;

    wchar_t SubVersionLetter() const { return subVersionLetter; }
    BOOL OemInstall() const { return oemInstall; }
    BOOL Initialised() const { return initialised; }

private:
    BOOL ReadSubVersionLetter();
    BOOL ReadOemFlag();
    BOOL BuildExtendedRecord();
    BOOL ReadNtServicePack();
    BOOL ReadNtProductOptions();

    VersionRecordSource m_source;
    OSVERSIONINFOW basicRecord = {};
    OSVERSIONINFOEXW extendedRecord = {};
    wchar_t subVersionLetter = L'\0';
    BOOL oemInstall = FALSE;
    BOOL initialised = FALSE;
    BOOL basicValid = FALSE;
};

// The record's platform matches and its version (major, minor, then service
// pack major) is at least the one given.
BOOL IsVersionAtLeast(const COperatingSystem& system, DWORD major, DWORD minor, WORD servicePackMajor,
                      DWORD platform);
