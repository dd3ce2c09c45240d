#include "CConformanceTally.h"

#include <windows.h>

#include <cstdio>

#include "Clock.h"

void CConformanceTally::BeginSection(const std::string& name)
{
    m_section = name;
    m_sectionPassed = 0;
    m_sectionFailed = 0;
    m_sectionStart = Now();
}

void CConformanceTally::Check(bool passed, const std::string& pass, const std::string& position,
                              const char* condition, const std::string& detail)
{
    if (passed) {
        ++m_passed;
        ++m_sectionPassed;
        return;
    }
    ++m_sectionFailed;
    m_failures.push_back({m_section, pass, position, condition, detail});
    m_write("FAIL " + m_section + ", " + pass + ", " + position + ": " + condition + ": " + detail);
}

void CConformanceTally::EndSection()
{
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.1f", Now() - m_sectionStart);
    m_write(m_section + ": " + std::to_string(m_sectionPassed) + " passed, " + std::to_string(m_sectionFailed) +
            " failed (" + seconds + " s)");
}
