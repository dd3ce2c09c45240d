#pragma once
#include <windows.h>

#include <memory>

// The per-user settings of a filter object's runs: where the two settings files
// are (in the folder "Morvanex" of the application-data folder), the two
// switches of the section "Debug" read at the start of every run, and the
// attempt record and folder log they switch on. Each file is guarded by a named
// mutex that every process of the session shares.
class CRunSettings {
public:
    static constexpr size_t kPathCapacity = 2048;
    static constexpr DWORD kMaxAttempts = 5;

    // Finds the settings folder (made when missing) and reads both switches;
    // without a per-user folder both stay off.
    void Read();
    // The same for a run that must write nothing: the settings folder is not
    // made, the folder log stays off, and the attempt record only where the
    // settings file is there to be written.
    void ReadWithoutWriting();
    // Forgets the paths and switches of the run before.
    void Clear();

    // Counts an attempt of the host at the file; false when the file is refused
    // (five marks, or the record could not be had). True while the guard is off.
    bool BlackListEnter(const wchar_t* hostPath, const wchar_t* fileName);
    // After a run that reached its end: forgets the file's marks, unless it
    // was blocked for good.
    void BlackListLeave(const wchar_t* hostPath, const wchar_t* fileName);
    // Logs which run folder belongs to which file, when switched on.
    void WriteGuidLog(const wchar_t* hostPath, const wchar_t* folderName, const wchar_t* fileName);

    bool BlackList() const { return m_blackList; }
    bool LogGuid() const { return m_logGuid; }
    const wchar_t* SettingsPath() const { return m_settingsPath.get(); }

private:
    bool BuildPaths(bool makeFolder);

    std::unique_ptr<wchar_t[]> m_settingsPath;
    std::unique_ptr<wchar_t[]> m_guidLogPath;
    bool m_blackList = false;
    bool m_logGuid = false;
};
