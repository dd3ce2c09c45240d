#include <gtest/gtest.h>

#include "support/RegistryFixture.h"
#include "environment/CInternetExplorer.h"
#include "support/ScratchRegistry.h"

namespace {

const wchar_t kBrowser[] = L"Software\\Microsoft\\Internet Explorer";

TEST(InternetExplorer, VersionValues)
{
    struct Case {
        const char* name;
        const wchar_t* version;     // null: not stored
        const wchar_t* customized;  // null: not stored
        const wchar_t* iver;
        const wchar_t* build;
        BOOL valid;
        DWORD parts[4];
        const wchar_t* text;
    };
    const Case cases[] = {
        {"Version 6 reads CustomizedVersion", L"6.0.2900.2180", L"SP2", nullptr, nullptr, TRUE, {6, 0, 2900, 2180}, L"SP2"},
        {"Version 4.72 does not", L"4.72.3110.8", L"IC", nullptr, nullptr, TRUE, {4, 72, 3110, 8}, L""},
        {"Version wins over IVer", L"5.0.2014.216", nullptr, L"100", nullptr, TRUE, {5, 0, 2014, 216}, L""},
        {"Version of three parts", L"5.0.2014", nullptr, nullptr, nullptr, FALSE, {}, L""},
        {"Version with a letter", L"5.0.2014.2x", nullptr, nullptr, nullptr, FALSE, {}, L""},
        {"IVer 100", nullptr, nullptr, L"100", nullptr, TRUE, {4, 40, 308, 0}, L""},
        {"IVer 101", nullptr, nullptr, L"101", nullptr, TRUE, {4, 40, 520, 0}, L""},
        {"IVer 102", nullptr, nullptr, L"102", nullptr, TRUE, {4, 40, 520, 0}, L""},
        {"IVer 103 with Build", nullptr, nullptr, L"103", L"1712.6", TRUE, {4, 70, 1712, 6}, L""},
        {"IVer 103 without Build", nullptr, nullptr, L"103", nullptr, FALSE, {}, L""},
        {"IVer 103 with a one-part Build", nullptr, nullptr, L"103", L"1712", FALSE, {}, L""},
        {"IVer 104", nullptr, nullptr, L"104", nullptr, FALSE, {}, L""},
        {"IVer not a number", nullptr, nullptr, L"10x", nullptr, FALSE, {}, L""},
        {"nothing stored", nullptr, nullptr, nullptr, nullptr, FALSE, {}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchRegistry scratch;
        SetMachineString(L"Software\\Microsoft", L"unrelated", L"x");
        if (c.version || c.customized || c.iver || c.build)
            SetMachineString(kBrowser, L"unrelated", L"x");
        if (c.version)
            SetMachineString(kBrowser, L"Version", c.version);
        if (c.customized)
            SetMachineString(kBrowser, L"CustomizedVersion", c.customized);
        if (c.iver)
            SetMachineString(kBrowser, L"IVer", c.iver);
        if (c.build)
            SetMachineString(kBrowser, L"Build", c.build);

        CInternetExplorer browser;
        DWORD parts[4] = {};
        wchar_t text[CInternetExplorer::kCustomizedCapacity] = L"unchanged";
        ASSERT_EQ(c.valid, browser.GetVersion(&parts[0], &parts[1], &parts[2], &parts[3], text));
        if (!c.valid) {
            EXPECT_FALSE(IsBrowserAtLeast(browser, 0, 0, 0, 0));
            continue;
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.parts[i], parts[i]) << "part " << i;
        EXPECT_STREQ(c.text, text);
    }
}

TEST(InternetExplorer, CustomizedVersionIsCutToItsBuffer)
{
    ScratchRegistry scratch;
    const std::wstring longText(400, L'c');
    SetMachineString(kBrowser, L"Version", L"6.0.2900.2180");
    SetMachineString(kBrowser, L"CustomizedVersion", longText.c_str());
    CInternetExplorer browser;
    wchar_t text[CInternetExplorer::kCustomizedCapacity + 1];
    text[CInternetExplorer::kCustomizedCapacity] = L'#';
    ASSERT_TRUE(browser.GetVersion(nullptr, nullptr, nullptr, nullptr, text));
    EXPECT_EQ(longText.substr(0, CInternetExplorer::kCustomizedCapacity - 1), text);
    EXPECT_EQ(L'#', text[CInternetExplorer::kCustomizedCapacity]);
}

TEST(InternetExplorer, IsBrowserAtLeast)
{
    ScratchRegistry scratch;
    SetMachineString(kBrowser, L"Version", L"5.0.2014.216");
    CInternetExplorer browser;
    struct Case {
        DWORD v[4];
        BOOL want;
    };
    const Case cases[] = {
        {{5, 0, 2014, 216}, TRUE},  {{5, 0, 2014, 215}, TRUE},  {{5, 0, 2014, 217}, FALSE},
        {{4, 99, 9999, 9999}, TRUE}, {{5, 1, 0, 0}, FALSE},     {{5, 0, 2015, 0}, FALSE},
        {{6, 0, 0, 0}, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.v[0] << "." << c.v[1] << "." << c.v[2] << "." << c.v[3]);
        EXPECT_EQ(c.want, IsBrowserAtLeast(browser, c.v[0], c.v[1], c.v[2], c.v[3]));
    }

    // One below the required version.
    SetMachineString(kBrowser, L"Version", L"5.0.2014.215");
    CInternetExplorer older;
    EXPECT_FALSE(IsBrowserAtLeast(older, 5, 0, 2014, 216));
}

}  // namespace
