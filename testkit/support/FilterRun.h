#pragma once
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <propidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HostHarness.h"
#include "support/FolderEntries.h"
#include "support/RegistryFixture.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/Utf8.h"

// One chunk as a host saw it, with everything GetText and GetValue gave for it.
struct SeenChunk {
    STAT_CHUNK stat{};
    std::wstring text;
    HRESULT textEnd = S_OK;      // the GetText result that ended the text
    std::vector<std::wstring> values;
    HRESULT valueEnd = S_OK;     // the GetValue result that ended the values
};

struct SeenDocument {
    std::vector<SeenChunk> chunks;
    HRESULT end = S_OK;          // what ended GetChunk
};

// The filter DLL loaded as a host loads it, with the per-user state it reads
// (the settings folder through the shell's folder registrations under
// HKEY_CURRENT_USER, and the temporary path through the process's TMP) moved
// into scratch places that go away with the test.
class FilterTest : public HostHarness {
protected:
    void SetUp() override
    {
        HostHarness::SetUp();
        m_appData = m_scratch.MakeFolder(L"appdata");
        m_temp = m_scratch.MakeFolder(L"temp");
        SetAppDataFolder(m_appData);
        wchar_t old[MAX_PATH] = {};
        m_hadTmp = GetEnvironmentVariableW(L"TMP", old, MAX_PATH) > 0;
        m_oldTmp = old;
        SetEnvironmentVariableW(L"TMP", m_temp.c_str());
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", m_hadTmp ? m_oldTmp.c_str() : nullptr);
    }

    std::wstring SettingsFolder() const { return m_appData + L"\\Morvanex"; }
    std::wstring SettingsFile() const { return SettingsFolder() + L"\\IFilterProcess.ini"; }
    std::wstring GuidLogFile() const { return SettingsFolder() + L"\\LogGuid.ini"; }

    static std::wstring HostPath() { return LoadedModule::ThisProgram(); }

    void WriteDebugSetting(const wchar_t* key, const wchar_t* value) const
    {
        CreateDirectoryW(SettingsFolder().c_str(), nullptr);
        WritePrivateProfileStringW(L"Debug", key, value, SettingsFile().c_str());
    }

    // Attempt marks of a file under a host's section.
    std::wstring Marks(const std::wstring& chm, const std::wstring& host = HostPath()) const
    {
        wchar_t marks[64] = {};
        GetPrivateProfileStringW(host.c_str(), chm.c_str(), L"", marks, 64, SettingsFile().c_str());
        return marks;
    }

    std::vector<std::wstring> TempEntries() const { return EntryNamesIn(m_temp); }

    // A new filter object with the file loaded and Init called.
    ComPtr<IFilter> Start(const std::wstring& chm, HRESULT wantInit = S_OK, ULONG attributeCount = 0,
                          const FULLPROPSPEC* attributes = nullptr)
    {
        auto filter = NewFilter();
        ComPtr<IPersistFile> persist;
        EXPECT_EQ(S_OK, filter.query(persist));
        EXPECT_EQ(S_OK, persist->Load(chm.c_str(), STGM_READ));
        ULONG flags = 0xFFFF;
        EXPECT_EQ(wantInit, filter->Init(kInitFlags, attributeCount, attributes, &flags));
        EXPECT_EQ(static_cast<ULONG>(IFILTER_FLAGS_OLE_PROPERTIES), flags);
        return filter;
    }

    // Pulls the whole document as a host does: every chunk, all of its text or
    // its values, and asks for the other kind too.
    static SeenDocument Pull(IFilter* filter, size_t maxChunks = 100000)
    {
        SeenDocument doc;
        for (size_t n = 0; n < maxChunks; ++n) {
            SeenChunk chunk;
            doc.end = filter->GetChunk(&chunk.stat);
            if (doc.end != S_OK)
                return doc;
            if (chunk.stat.flags == CHUNK_TEXT) {
                chunk.textEnd = ReadText(filter, chunk.text);
                chunk.valueEnd = ReadValues(filter, chunk.values);
            } else {
                chunk.valueEnd = ReadValues(filter, chunk.values);
                chunk.textEnd = ReadText(filter, chunk.text);
            }
            doc.chunks.push_back(std::move(chunk));
        }
        ADD_FAILURE() << "the document did not end";
        return doc;
    }

    static HRESULT ReadText(IFilter* filter, std::wstring& text)
    {
        for (int calls = 0; calls < 100000; ++calls) {
            WCHAR buffer[64];
            ULONG count = 64;
            const HRESULT hr = filter->GetText(&count, buffer);
            if (hr != S_OK && hr != FILTER_S_LAST_TEXT)
                return hr;
            text.append(buffer, count);
        }
        return E_FAIL;
    }

    static HRESULT ReadValues(IFilter* filter, std::vector<std::wstring>& values)
    {
        for (int calls = 0; calls < 100; ++calls) {
            PROPVARIANT* value = nullptr;
            const HRESULT hr = filter->GetValue(&value);
            if (hr != S_OK)
                return hr;
            values.push_back(value->vt == VT_LPWSTR && value->pwszVal ? value->pwszVal : L"(not a string)");
            PropVariantClear(value);
            CoTaskMemFree(value);
        }
        return E_FAIL;
    }

    static constexpr ULONG kInitFlags = IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES;

    ScratchRegistry m_registry;
    ScratchFolder m_scratch;
    std::wstring m_appData;
    std::wstring m_temp;
    std::wstring m_oldTmp;
    bool m_hadTmp = false;
};

