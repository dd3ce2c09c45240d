#pragma once
#include <windows.h>

#include <string>

// Writes UTF-8 text to a standard handle: as UTF-16 to a console, so every
// character shows, and as UTF-8 bytes to a file or pipe. Output is buffered
// and written out by Flush (and at destruction).
class CConsoleWriter {
public:
    explicit CConsoleWriter(DWORD standardHandle);
    ~CConsoleWriter();
    CConsoleWriter(const CConsoleWriter&) = delete;
    CConsoleWriter& operator=(const CConsoleWriter&) = delete;

    void Write(const std::string& utf8);
    void Flush();
    bool IsConsole() const { return m_console; }

private:
    HANDLE m_handle;
    bool m_console = false;
    std::string m_buffer;
};
