// The reader over real-world and malformed CHMs from the shared collection.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ChmWalk.h"
#include "crawler/CChmStorage.h"
#include "support/FolderEntries.h"
#include "support/LoadedModule.h"
#include "support/WineItssOverride.h"
#include "util/UniqueHandle.h"

namespace {
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        if (!IsFolder(entry))
            names.push_back(entry.cFileName);
    }
    return names;
}

// Every file below a folder, keyed like a walk: "folder\sub|name".
void Extracted(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>& out)
{
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
        const std::wstring name = entry.cFileName;
        if (IsFolder(entry)) {
            Extracted(root, relative.empty() ? name : relative + L"\\" + name, out);
            continue;
        }
        UniqueHandle file(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        std::string bytes(GetFileSize(file.get(), nullptr), '\0');
        DWORD read = 0;
        if (!bytes.empty())
            ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
        bytes.resize(read);
        out[relative + L"|" + name] = bytes;
    }
}

TEST(RealChm, WalkMatchesExtractChmLib)
{
    ComApartment com;
    const std::wstring real = FromUnix(TAVRINOLEX_SHARED_CHM "/real");
    const std::wstring extract = FromUnix(TAVRINOLEX_CHM_EXTRACT);
    const auto files = FilesIn(real);
    ASSERT_FALSE(files.empty());
    size_t streams = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        std::map<std::wstring, std::string> want;
        Extracted(extract + L"\\" + file, L"", want);
        ASSERT_FALSE(want.empty());

        CChmStorage reader;
        ASSERT_EQ(S_OK, reader.Open((real + L"\\" + file).c_str(), nullptr));
        const ChmWalk walk = WalkAll(reader, true);
        EXPECT_EQ(S_FALSE, walk.end);
        EXPECT_EQ(S_OK, walk.readFailure);
        EXPECT_EQ(walk.streams.size(), walk.bytes.size()) << "each stream once";
        for (const auto& entry : want) {
            const auto found = walk.bytes.find(entry.first);
            if (found == walk.bytes.end())
                ADD_FAILURE() << "not walked: " << Narrow(entry.first);
            else if (found->second != entry.second)
                ADD_FAILURE() << "bytes differ: " << Narrow(entry.first);
        }
        for (const auto& entry : walk.bytes)
            EXPECT_EQ(1u, want.count(entry.first)) << "not extracted: " << Narrow(entry.first);
        streams += walk.streams.size();
    }
    RecordProperty("streams", static_cast<int>(streams));
}

TEST(MalformedChm, OpenedAndWalkedThroughBothComponentsWithoutHarm)
{
    ComApartment com;
    const std::wstring folder = FromUnix(TAVRINOLEX_SHARED_CHM "/malformed");
    const auto files = FilesIn(folder);
    ASSERT_FALSE(files.empty());

    for (bool wineOwn : {false, true}) {
        std::unique_ptr<WineItssOverride> own;
        if (wineOwn) {
            own = std::make_unique<WineItssOverride>();
            ASSERT_TRUE(own->Ready());
        }
        for (const auto& file : files) {
            SCOPED_TRACE(Narrow(file) + (wineOwn ? " (Wine's component)" : " (stand-in)"));
            CChmStorage reader;
            const HRESULT opened = reader.Open((folder + L"\\" + file).c_str(), nullptr);
            const ChmWalk walk = WalkAll(reader, true);
            if (FAILED(opened))
                EXPECT_EQ(E_FAIL, walk.end);
            else
                EXPECT_NE(S_OK, walk.end);
            reader.Close();
            reader.Close();
        }
    }
}
}
