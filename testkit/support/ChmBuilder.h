#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/ScratchFolder.h"

// Writes a page tree and an .hhp project into a scratch folder and compiles it
// with the Linux help compiler chmcmd, which Wine starts like any program.
class ChmBuilder {
public:
    explicit ChmBuilder(const ScratchFolder& scratch, std::wstring project = L"project");

    // relative uses '/' between folders, as the project file does.
    ChmBuilder& File(const std::string& relative, const std::string& bytes);
    // An extra line for the project's [OPTIONS], such as "Language=0x419".
    ChmBuilder& Option(const std::string& line);
    // Compiles; returns the CHM's full path. Throws when chmcmd fails.
    std::wstring Build(const std::string& title = "Test Help", const std::string& chmName = "test.chm") const;

private:
    const ScratchFolder& m_scratch;
    std::wstring m_project;
    std::vector<std::pair<std::string, std::string>> m_files;
    std::vector<std::string> m_options;
};
