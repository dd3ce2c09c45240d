#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/FilterRun.h"
#include "HostRun.h"
#include "support/ChmBuilder.h"

// A filter run with the reference page filter registered (in the scratch
// registry) for the pages of a small help file made by the test.
class ReliabilityTest : public FilterTest {
protected:
    void SetUp() override
    {
        FilterTest::SetUp();
        ASSERT_TRUE(m_pages) << "ReferencePageFilter.dll did not load";
        using RegisterFn = HRESULT(STDAPICALLTYPE*)();
        ASSERT_EQ(S_OK, m_pages.Export<RegisterFn>("DllRegisterServer")());
    }

    std::wstring SmallHelpFile(const std::string& name = "small.chm")
    {
        return ChmBuilder(m_scratch, L"project-" + std::wstring(name.begin(), name.end()))
            .File("index.htm", "<html><head><title>Index</title></head><body>alpha beta</body></html>")
            .File("sub/second.htm", "<html><body>gamma delta</body></html>")
            .File("sub/third.htm", "<html><body>epsilon</body></html>")
            .File("notes.txt", "plain zeta")
            .Build("Small Help", name);
    }

    GetClassObjectFn ClassObject() const { return getClassObject; }

    // The whole document as one string: each chunk's kind and text, so that two
    // runs can be compared.
    static std::wstring Flatten(const SeenDocument& doc)
    {
        std::wstring out;
        for (const auto& chunk : doc.chunks) {
            out += chunk.stat.flags == CHUNK_TEXT ? L"t:" + chunk.text : L"v:";
            for (const auto& value : chunk.values)
                out += value + L"|";
            out += L"\n";
        }
        return out;
    }

    // What a finished run left in the temporary folder and the settings folder
    // (the scratch folder itself also holds the test's own help files).
    std::vector<std::string> LeftBehindHere() const
    {
        return LeftBehind(m_temp, m_temp, m_appData);
    }

    LoadedModule m_pages{LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll")};
};
