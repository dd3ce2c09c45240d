#include "crawler/CFileCrawlerBase.h"

#include <filterr.h>

#include <cwchar>
#include <new>

#include "util/strings/BoundedString.h"
#include "util/strings/CopyOf.h"
#include "util/paths/FileExists.h"

namespace {
// A crawler cannot go on without its paths: no memory for them fails its making.
std::unique_ptr<wchar_t[]> CopyString(const wchar_t* text)
{
    std::unique_ptr<wchar_t[]> copy = CopyOf(text);
    if (text && !copy)
        throw std::bad_alloc();
    return copy;
}

std::unique_ptr<wchar_t[]> EmptyBuffer()
{
    return std::unique_ptr<wchar_t[]>(new wchar_t[CFileCrawlerBase::kBufferCapacity]());
}

void CopyIfRoom(wchar_t* dest, int capacity, const wchar_t* src)
{
    if (dest && capacity > 0)
        BoundedCopy(dest, static_cast<size_t>(capacity), src);
}
}  // namespace

CFileCrawlerBase::CFileCrawlerBase(const wchar_t* containerPath, const wchar_t* tempFolder)
    : m_containerPath(CopyString(containerPath)),
      m_tempFolder(CopyString(tempFolder)),
      m_currentName(EmptyBuffer()),
      m_currentFolder(EmptyBuffer()),
      m_extractedFile(EmptyBuffer())
{
    // Our own version: a derived class is not built yet.
    CFileCrawlerBase::Reset();
}

CFileCrawlerBase::~CFileCrawlerBase() = default;

HRESULT CFileCrawlerBase::Advance(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity,
                                  wchar_t* target, size_t targetCapacity)
{
    if (!name || !folder || !target)
        return E_FAIL;

    // The previous page's file goes before the next one is written.
    if (m_extracted && m_extractedFile[0] != L'\0' && FileExists(m_extractedFile.get()) && DeleteExtracted())
        m_extracted = 0;

    for (;;) {
        if (NextEntry(name, nameCapacity, folder, folderCapacity) != S_OK)
            return FILTER_E_END_OF_CHUNKS;
        if (!ShouldSkip(name, folder))
            break;
    }

    if (FAILED(BoundedCopy(m_currentName.get(), kBufferCapacity, name)) ||
        FAILED(BoundedCopy(m_currentFolder.get(), kBufferCapacity, folder)))
        return E_FAIL;

    // Only whether a filter exists counts here; the page filter is made later
    // from the extracted file.
    const bool known = m_locator && m_locator->HasPageFilter(name);

    if (known) {
        const HRESULT hr = ExtractCurrent(target, targetCapacity);
        if (hr != S_OK || !FileExists(target)) {
            // S_FALSE: the file was made but holds less than the stream. Such a
            // page is of no use; leave nothing of it behind. (Any other failure
            // made no file, and the target may then be a cut path.)
            if (hr == S_FALSE && FileExists(target))
                DeleteFileW(target);
            return S_FALSE;
        }
    } else if (targetCapacity > kMaxBoundedCapacity || FAILED(BoundedCopy(target, targetCapacity, L""))) {
        return E_FAIL;
    }

    if (FAILED(BoundedCopy(m_extractedFile.get(), kBufferCapacity, target)))
        return E_FAIL;
    m_extracted = 1;
    return S_OK;
}

int CFileCrawlerBase::GetCurrent(wchar_t* name, int nameCapacity, wchar_t* folder, int folderCapacity,
                                 wchar_t* extracted, int extractedCapacity) const
{
    if (!m_extracted)
        return 0;
    CopyIfRoom(name, nameCapacity, m_currentName.get());
    CopyIfRoom(folder, folderCapacity, m_currentFolder.get());
    CopyIfRoom(extracted, extractedCapacity, m_extractedFile.get());
    return 1;
}

int CFileCrawlerBase::CheckCurrent(int)
{
    return 1;
}

int CFileCrawlerBase::Reset()
{
    return 1;
}

bool CFileCrawlerBase::ShouldSkip(const wchar_t*, const wchar_t*)
{
    return false;
}

bool CFileCrawlerBase::IsSpecialName(const wchar_t*)
{
    return false;
}

HRESULT CFileCrawlerBase::NextEntry(wchar_t*, size_t, wchar_t*, size_t)
{
    return E_NOTIMPL;
}

HRESULT CFileCrawlerBase::ExtractCurrent(wchar_t*, size_t)
{
    return E_NOTIMPL;
}

bool CFileCrawlerBase::DeleteExtracted()
{
    return true;
}
