#include "filter/CRunSettings.h"

#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "filter/NamedMutexLock.h"
#include "util/strings/BoundedString.h"
#include "util/owners/UniqueHandle.h"

namespace {
constexpr wchar_t kSettingsFolder[] = L"Morvanex";
constexpr wchar_t kSettingsFile[] = L"\\IFilterProcess.ini";
constexpr wchar_t kGuidLogFile[] = L"\\LogGuid.ini";
constexpr wchar_t kDebugSection[] = L"Debug";
constexpr wchar_t kBlackListKey[] = L"BlackList";
constexpr wchar_t kLogGuidKey[] = L"LogGuid";
constexpr wchar_t kBlackListMutex[] = L"Morvanex.IFilterBase.IFilterProcess.03750285";
constexpr wchar_t kGuidLogMutex[] = L"Morvanex.IFilterBase.LogGuid.3409836";
// Attempt marks are read into 10 characters with 9 given, so at most 8 come back.
constexpr DWORD kMarksCapacity = 10;

bool EndsWithBackslash(const wchar_t* text)
{
    const size_t length = wcslen(text);
    return length > 0 && text[length - 1] == L'\\';
}

// The settings files are the administrator's: usually made by hand, so ANSI,
// which the profile functions keep in the system's code page. A path with a
// character the code page lacks would be written changed ('?' for each) and,
// compared with the path itself, never found again; two such paths would share
// one name. Such a path is written in ASCII between '<' and '>', which no file
// path holds: printable ASCII as it is, every other character, and '%', '<',
// '>', '=' and '|', as '%' and four hexadecimal digits. Every path the code
// page holds keeps its own spelling, as the records on disk have it.
bool HeldByCodePage(const wchar_t* text)
{
    const int length = static_cast<int>(wcslen(text));
    if (length == 0)
        return true;
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        return false;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, &narrow[0], bytes, nullptr, nullptr);
    const int back = MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, nullptr, 0);
    if (back != length)
        return false;
    std::wstring wide(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, &wide[0], back);
    return wide == text;
}

std::wstring ProfileName(const wchar_t* path)
{
    if (!path)
        return std::wstring();
    if (HeldByCodePage(path))
        return path;
    std::wstring name = L"<";
    for (const wchar_t* p = path; *p; ++p) {
        if (*p >= 0x20 && *p < 0x7F && !wcschr(L"%<>=|", *p)) {
            name += *p;
        } else {
            wchar_t escaped[6];
            swprintf(escaped, 6, L"%%%04X", static_cast<unsigned>(*p));
            name += escaped;
        }
    }
    return name + L">";
}

// The key of a file in the attempt record. The profile functions end a key at
// its first '=', so a path holding one would never be found again; there '='
// is written as '|', which no file path can hold.
std::wstring AttemptKey(const wchar_t* fileName)
{
    std::wstring key = ProfileName(fileName);
    for (wchar_t& c : key) {
        if (c == L'=')
            c = L'|';
    }
    return key;
}
}  // namespace

void CRunSettings::Read()
{
    Clear();
    if (!BuildPaths(true))
        return;  // no per-user folder: the settings keep their defaults
    m_blackList = GetPrivateProfileIntW(kDebugSection, kBlackListKey, 0, m_settingsPath.get()) == 1;
    m_logGuid = GetPrivateProfileIntW(kDebugSection, kLogGuidKey, 0, m_settingsPath.get()) == 1;
}

void CRunSettings::ReadWithoutWriting()
{
    Clear();
    if (!BuildPaths(false))
        return;
    // Opened for writing and closed at once: it tells whether the record could
    // be kept, and changes nothing.
    UniqueHandle settings(CreateFileW(m_settingsPath.get(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (settings)
        m_blackList = GetPrivateProfileIntW(kDebugSection, kBlackListKey, 0, m_settingsPath.get()) == 1;
}

void CRunSettings::Clear()
{
    m_settingsPath.reset();
    m_guidLogPath.reset();
    m_blackList = false;
    m_logGuid = false;
}

bool CRunSettings::BuildPaths(bool makeFolder)
{
    std::unique_ptr<wchar_t[]> folder(new wchar_t[kPathCapacity]());
    // The shell's buffer must hold MAX_PATH characters; ours holds more.
    if (!SHGetSpecialFolderPathW(nullptr, folder.get(), CSIDL_APPDATA, FALSE) || folder[0] == L'\0')
        return false;
    if ((!EndsWithBackslash(folder.get()) && FAILED(BoundedAppend(folder.get(), kPathCapacity, L"\\"))) ||
        FAILED(BoundedAppend(folder.get(), kPathCapacity, kSettingsFolder)))
        return false;
    if (makeFolder)
        CreateDirectoryW(folder.get(), nullptr);  // it usually exists already

    std::unique_ptr<wchar_t[]> settings(new wchar_t[kPathCapacity]);
    std::unique_ptr<wchar_t[]> guidLog(new wchar_t[kPathCapacity]);
    if (FAILED(BoundedCopy(settings.get(), kPathCapacity, folder.get())) ||
        FAILED(BoundedAppend(settings.get(), kPathCapacity, kSettingsFile)) ||
        FAILED(BoundedCopy(guidLog.get(), kPathCapacity, folder.get())) ||
        FAILED(BoundedAppend(guidLog.get(), kPathCapacity, kGuidLogFile)))
        return false;
    m_settingsPath = std::move(settings);
    m_guidLogPath = std::move(guidLog);
    return true;
}

bool CRunSettings::BlackListEnter(const wchar_t* hostPath, const wchar_t* fileName)
{
    if (!m_blackList)
        return true;
    const std::wstring key = AttemptKey(fileName);
    const std::wstring section = ProfileName(hostPath);
    NamedMutexLock lock(kBlackListMutex);
    if (!lock.Taken())
        return false;
    wchar_t marks[kMarksCapacity] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", marks, kMarksCapacity - 1, m_settingsPath.get());
    if (wcslen(marks) >= kMaxAttempts)
        return false;
    BoundedAppend(marks, kMarksCapacity, L"x");
    WritePrivateProfileStringW(section.c_str(), key.c_str(), marks, m_settingsPath.get());
    return true;
}

void CRunSettings::BlackListLeave(const wchar_t* hostPath, const wchar_t* fileName)
{
    if (!m_blackList || !fileName || !m_settingsPath)
        return;
    const std::wstring key = AttemptKey(fileName);
    const std::wstring section = ProfileName(hostPath);
    NamedMutexLock lock(kBlackListMutex);
    if (!lock.Taken())
        return;
    wchar_t marks[kMarksCapacity] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", marks, kMarksCapacity - 1, m_settingsPath.get());
    if (wcslen(marks) < kMaxAttempts)
        WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, m_settingsPath.get());
}

void CRunSettings::WriteGuidLog(const wchar_t* hostPath, const wchar_t* folderName, const wchar_t* fileName)
{
    if (!m_logGuid || !m_guidLogPath)
        return;
    const std::wstring section = ProfileName(hostPath);
    const std::wstring value = ProfileName(fileName);
    NamedMutexLock lock(kGuidLogMutex);
    if (lock.Taken())
        WritePrivateProfileStringW(section.c_str(), folderName, value.c_str(), m_guidLogPath.get());
}
