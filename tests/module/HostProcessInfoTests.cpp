#include <gtest/gtest.h>

#include "filter/CHostProcessInfo.h"
#include "support/LoadedModule.h"

namespace {

TEST(HostProcessInfo, BaseNameIsUpperCasedFileNamePart)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* base;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Office Server\\12.0\\bin\\mssdmn.exe", L"MSSDMN"},
        {L"C:\\Windows\\System32\\cidaemon.exe", L"CIDAEMON"},
        {L"C:\\tools\\filtdump", L"FILTDUMP"},
        {L"C:\\odd.name\\Host.v2.EXE", L"HOST.V2"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        CHostProcessInfo info(c.path);
        EXPECT_STREQ(c.path, info.HostPath());
        EXPECT_STREQ(c.base, info.HostBaseName()) << "path: " << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(HostProcessInfo, DefaultsToTheRunningProgram)
{
    CHostProcessInfo info;
    EXPECT_STREQ(LoadedModule::ThisProgram().c_str(), info.HostPath());
    EXPECT_STREQ(L"MODULE_TESTS", info.HostBaseName());
}

}  // namespace
