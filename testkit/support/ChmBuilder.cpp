#include "ChmBuilder.h"

#include <stdexcept>

#include "support/WinePath.h"
#include "util/owners/UniqueHandle.h"

ChmBuilder::ChmBuilder(const ScratchFolder& scratch, std::wstring project)
    : m_scratch(scratch), m_project(std::move(project))
{
}

ChmBuilder& ChmBuilder::File(const std::string& relative, const std::string& bytes)
{
    m_files.emplace_back(relative, bytes);
    return *this;
}

ChmBuilder& ChmBuilder::Option(const std::string& line)
{
    m_options.push_back(line);
    return *this;
}

std::wstring ChmBuilder::Build(const std::string& title, const std::string& chmName) const
{
    std::string hhp = "[OPTIONS]\r\nCompiled file=" + chmName + "\r\nTitle=" + title + "\r\n";
    for (const auto& option : m_options)
        hhp += option + "\r\n";
    if (!m_files.empty())
        hhp += "Default topic=" + m_files.front().first + "\r\n";
    hhp += "\r\n[FILES]\r\n";
    for (const auto& file : m_files) {
        m_scratch.WriteFile(m_project + L"\\" + WithBackslashes(file.first), file.second);
        hhp += file.first + "\r\n";
    }
    m_scratch.WriteFile(m_project + L"\\project.hhp", hhp);
    const std::wstring folder = m_scratch / m_project;

    // Wine starts a Unix program but hands back a handle that cannot be waited
    // for, so the shell leaves chmcmd's exit code in a file once it is done.
    wchar_t command[] =
        L"/bin/sh -c \"/usr/bin/chmcmd project.hhp >/dev/null 2>&1; echo $? >.chmcmd.tmp; mv .chmcmd.tmp .chmcmd.done\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", command, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        throw std::runtime_error("cannot start chmcmd");
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);

    const std::wstring done = folder + L"\\.chmcmd.done";
    for (int waited = 0; GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 10) {
        if (waited > 60000)
            throw std::runtime_error("chmcmd did not finish");
        Sleep(10);
    }
    char code[16] = {};
    {
        UniqueHandle file(CreateFileW(done.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD read = 0;
        if (file)
            ReadFile(file.get(), code, sizeof(code) - 1, &read, nullptr);
    }
    if (code[0] != '0')
        throw std::runtime_error("chmcmd failed");
    return folder + L"\\" + WithBackslashes(chmName);
}
