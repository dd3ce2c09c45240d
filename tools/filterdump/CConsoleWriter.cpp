#include "CConsoleWriter.h"

CConsoleWriter::CConsoleWriter(DWORD standardHandle) : m_handle(GetStdHandle(standardHandle))
{
    DWORD mode = 0;
    m_console = m_handle && m_handle != INVALID_HANDLE_VALUE && GetConsoleMode(m_handle, &mode);
}

CConsoleWriter::~CConsoleWriter()
{
    Flush();
}

void CConsoleWriter::Write(const std::string& utf8)
{
    m_buffer += utf8;
    if (m_buffer.size() >= 64 * 1024)
        Flush();
}

void CConsoleWriter::Flush()
{
    if (m_buffer.empty() || !m_handle || m_handle == INVALID_HANDLE_VALUE) {
        m_buffer.clear();
        return;
    }
    if (m_console) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, m_buffer.data(), static_cast<int>(m_buffer.size()),
                                               nullptr, 0);
        std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
        if (length > 0)
            MultiByteToWideChar(CP_UTF8, 0, m_buffer.data(), static_cast<int>(m_buffer.size()), &wide[0], length);
        size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            const DWORD part = static_cast<DWORD>(wide.size() - done > 8192 ? 8192 : wide.size() - done);
            if (!WriteConsoleW(m_handle, wide.data() + done, part, &written, nullptr) || written == 0)
                break;
            done += written;
        }
    } else {
        size_t done = 0;
        while (done < m_buffer.size()) {
            DWORD written = 0;
            if (!WriteFile(m_handle, m_buffer.data() + done, static_cast<DWORD>(m_buffer.size() - done), &written,
                           nullptr) ||
                written == 0)
                break;
            done += written;
        }
    }
    m_buffer.clear();
}
