#include "crawler/CChmFileCrawler.h"

#include <cwchar>
#include <new>

#include "crawler/ChmPassedOver.h"
#include "util/paths/AppendBackslash.h"
#include "util/strings/BoundedString.h"
#include "util/paths/FileExists.h"
#include "util/paths/SplitPath.h"

namespace {
// Parts of a name in the flat extraction mode.
constexpr size_t kPartCapacity = 261;
// Base names are cut after this many characters in the flat mode.
constexpr size_t kFlatBaseLength = 8;

// Whether the first length characters of name spell upper, ASCII letters
// compared without regard to case.
bool SameAsciiName(const wchar_t* name, const wchar_t* upper, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = name[i] >= L'a' && name[i] <= L'z' ? static_cast<wchar_t>(name[i] - L'a' + L'A') : name[i];
        if (c != upper[i])
            return false;
    }
    return true;
}

// Whether Windows takes a file name for a device ("CON.htm" opens the console,
// "COM1.txt" a serial port) rather than a file in the folder: the part before
// the first dot, trailing spaces ignored, is a reserved device name.
bool IsDeviceName(const wchar_t* name, size_t length)
{
    size_t end = 0;
    while (end < length && name[end] != L'.')
        ++end;
    while (end > 0 && name[end - 1] == L' ')
        --end;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices) {
        if (end == wcslen(device) && SameAsciiName(name, device, end))
            return true;
    }
    // Windows reserves COM1 to COM9 and LPT1 to LPT9, and the same with the
    // superscript digits one to three.
    const bool portDigit = end == 4 && ((name[3] >= L'1' && name[3] <= L'9') || name[3] == L'\u00B9' ||
                                        name[3] == L'\u00B2' || name[3] == L'\u00B3');
    return portDigit && (SameAsciiName(name, L"COM", 3) || SameAsciiName(name, L"LPT", 3));
}

// Whether any element of a backslash-separated path is a device name.
bool HasDeviceName(const wchar_t* path)
{
    const wchar_t* start = path;
    for (const wchar_t* p = path;; ++p) {
        if (*p == L'\\' || *p == L'\0') {
            if (IsDeviceName(start, static_cast<size_t>(p - start)))
                return true;
            if (*p == L'\0')
                return false;
            start = p + 1;
        }
    }
}
}  // namespace

CChmFileCrawler::CChmFileCrawler(const wchar_t* chmPath, const wchar_t* tempFolder, int extractionMode)
    : CFileCrawlerBase(chmPath, tempFolder), m_extractionMode(extractionMode)
{
}

CChmFileCrawler::~CChmFileCrawler()
{
    if (m_extracted && m_extractedFile[0] != L'\0' && FileExists(m_extractedFile.get()))
        CChmFileCrawler::DeleteExtracted();
    CChmFileCrawler::Reset();
}

int CChmFileCrawler::Reset()
{
    if (m_storage) {
        m_storage->Close();
        m_storage.reset();
    }
    return 1;
}

bool CChmFileCrawler::ShouldSkip(const wchar_t* name, const wchar_t* folder)
{
    return IsPassedOverChmEntry(name, folder);
}

bool CChmFileCrawler::IsSpecialName(const wchar_t* name)
{
    return name && (name[0] == L'#' || name[0] == L'$');
}

HRESULT CChmFileCrawler::NextEntry(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    if (m_storage)
        return m_storage->Next(name, nameCapacity, folder, folderCapacity);

    m_storage.reset(new (std::nothrow) CChmStorage);
    if (!m_storage)
        return E_FAIL;
    // The reader stays even when it cannot open the file: its Next then fails too.
    if (FAILED(m_storage->Open(m_containerPath.get(), m_extractionMode != 0 ? m_tempFolder.get() : nullptr)))
        return E_FAIL;
    return m_storage->First(name, nameCapacity, folder, folderCapacity);
}

HRESULT CChmFileCrawler::ExtractCurrent(wchar_t* target, size_t targetCapacity)
{
    if (!m_storage || !target || targetCapacity == 0 || targetCapacity > kMaxBoundedCapacity || !m_tempFolder)
        return E_FAIL;
    if (FAILED(BoundedCopy(target, targetCapacity, m_tempFolder.get())) ||
        !AppendBackslash(target, targetCapacity))
        return E_FAIL;

    if (m_extractionMode == 0) {
        wchar_t drive[kPartCapacity];
        wchar_t directory[kPartCapacity];
        wchar_t base[kPartCapacity];
        wchar_t extension[kPartCapacity];
        if (!SplitPath(m_currentName.get(), drive, kPartCapacity, directory, kPartCapacity, base, kPartCapacity,
                       extension, kPartCapacity))
            return E_FAIL;
        if (wcslen(base) > kFlatBaseLength)
            base[kFlatBaseLength] = L'\0';
        // A page must land in a file, never in a device.
        if (IsDeviceName(base, wcslen(base))) {
            const HRESULT hr = BoundedAppend(target, targetCapacity, L"_");
            if (FAILED(hr))
                return hr;
        }
        HRESULT hr = BoundedAppend(target, targetCapacity, base);
        if (FAILED(hr))
            return hr;
        hr = BoundedAppend(target, targetCapacity, extension);
        if (FAILED(hr))
            return hr;
    } else {
        // The reader never hands out a name that could climb out of its
        // storage, so the page stays below the temporary folder; a device name
        // would still lead out of the file system.
        if (HasDeviceName(m_currentFolder.get()) || HasDeviceName(m_currentName.get()))
            return E_FAIL;
        if (FAILED(BoundedAppend(target, targetCapacity, m_currentFolder.get())) ||
            !AppendBackslash(target, targetCapacity) ||
            FAILED(BoundedAppend(target, targetCapacity, m_currentName.get())))
            return E_FAIL;
    }
    return m_storage->ExtractCurrent(target);
}

bool CChmFileCrawler::DeleteExtracted()
{
    return DeleteFileW(m_extractedFile.get()) != FALSE;
}
