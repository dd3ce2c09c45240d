#include "chmformat/CBoundedFileReader.h"

#include <cstring>
#include <new>

bool CBoundedFileReader::Open(const wchar_t* path)
{
    m_size = 0;
    m_windowLength = 0;
    m_file.reset(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file.get(), &size) || size.QuadPart < 0) {
        m_file.reset();
        return false;
    }
    m_size = static_cast<ULONGLONG>(size.QuadPart);
    return true;
}

bool CBoundedFileReader::ReadAt(ULONGLONG offset, void* buffer, DWORD count)
{
    if (!m_file || offset > m_size || count > m_size - offset)
        return false;
    if (count == 0)
        return true;
    const auto inWindow = [&] {
        return offset >= m_windowStart && offset - m_windowStart <= m_windowLength &&
               count <= m_windowLength - (offset - m_windowStart);
    };
    if (!inWindow() && count < kWindow / 2) {
        if (!m_window)
            m_window.reset(new (std::nothrow) BYTE[kWindow]);
        const ULONGLONG left = m_size - offset;
        const DWORD length = left < kWindow ? static_cast<DWORD>(left) : kWindow;
        m_windowLength = 0;
        if (m_window && ReadFromFile(offset, m_window.get(), length)) {
            m_windowStart = offset;
            m_windowLength = length;
        }
    }
    if (inWindow()) {
        memcpy(buffer, m_window.get() + (offset - m_windowStart), count);
        return true;
    }
    return ReadFromFile(offset, buffer, count);
}

bool CBoundedFileReader::ReadFromFile(ULONGLONG offset, void* buffer, DWORD count) const
{
    // A synchronous handle reads at the offset the OVERLAPPED names.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(m_file.get(), buffer, count, &read, &at) && read == count;
}
