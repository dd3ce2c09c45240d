#include <windows.h>

#include <string>

#include "support/FilterRun.h"
#include "chmformat/ChmTitle.h"
#include "support/ChmBuilder.h"

namespace {

constexpr GUID kSummaryInformation = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};

using FilterTitle = FilterTest;

TEST_F(FilterTitle, TitleChunkAndItsValue)
{
    const std::wstring chm = ChmBuilder(m_scratch).File("index.htm", "<html></html>").Build("Fixture Title");
    auto filter = Start(chm);
    STAT_CHUNK chunk{};
    ASSERT_EQ(S_OK, filter->GetChunk(&chunk));
    EXPECT_EQ(1u, chunk.idChunk);
    EXPECT_EQ(1u, chunk.idChunkSource);
    EXPECT_EQ(CHUNK_NO_BREAK, chunk.breakType);
    EXPECT_EQ(CHUNK_VALUE, chunk.flags);
    EXPECT_EQ(GetSystemDefaultLCID(), chunk.locale);
    EXPECT_TRUE(IsEqualGUID(kSummaryInformation, chunk.attribute.guidPropSet));
    EXPECT_EQ(static_cast<ULONG>(PRSPEC_PROPID), chunk.attribute.psProperty.ulKind);
    EXPECT_EQ(2u, chunk.attribute.psProperty.propid);
    EXPECT_EQ(0u, chunk.cwcStartSource);
    EXPECT_EQ(0u, chunk.cwcLenSource);

    WCHAR text[16];
    ULONG count = 16;
    EXPECT_EQ(FILTER_E_NO_TEXT, filter->GetText(&count, text));
    PROPVARIANT* value = nullptr;
    ASSERT_EQ(S_OK, filter->GetValue(&value));
    ASSERT_EQ(VT_LPWSTR, value->vt);
    EXPECT_STREQ(L"Fixture Title", value->pwszVal);
    PropVariantClear(value);
    CoTaskMemFree(value);
    value = nullptr;
    // Once the values end, they stay ended for the chunk.
    EXPECT_EQ(FILTER_E_NO_MORE_VALUES, filter->GetValue(&value));
    EXPECT_EQ(FILTER_E_NO_MORE_VALUES, filter->GetValue(&value));
    EXPECT_EQ(FILTER_E_NO_MORE_VALUES, filter->GetValue(&value));
    EXPECT_EQ(nullptr, value);

    // No page of it has a filter here: the title is the whole document.
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
    EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&chunk));
}

// The title is converted with the ANSI code page of the language the help file
// names, when there is one; with the system's (1252 here) otherwise. Its chunk
// carries that language's locale, by which hosts choose the word breaker; the
// system's when the file names none the system knows.
TEST_F(FilterTitle, CodePageOfTheHelpFilesLanguage)
{
    ASSERT_EQ(1252u, GetACP()) << "these cases assume the system code page 1252";
    struct Row {
        const char* language;
        const wchar_t* want;
        LCID locale;  // 0: the system's
    };
    const Row rows[] = {
        {"Language=0x419", L"Caf\x0439 Title", 0x419},     // Russian: 1251
        {"Language=0x439", L"Caf\x00E9 Title", 0x439},     // a locale written only in Unicode
        {"Language=0x7777", L"Caf\x00E9 Title", 0},        // no such locale
        {"Language=0x0", L"Caf\x00E9 Title", 0},           // none declared
        {nullptr, L"Caf\x00E9 Title", 0x409},              // chmcmd's default language, English
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.language ? row.language : "default language");
        ChmBuilder builder(m_scratch, L"project" + std::to_wstring(++n));
        builder.File("index.htm", "<html></html>");
        if (row.language)
            builder.Option(row.language);
        const std::wstring chm = builder.Build("Caf\xE9 Title");
        auto filter = Start(chm);
        const SeenDocument doc = Pull(filter.get());
        ASSERT_FALSE(doc.chunks.empty());
        ASSERT_EQ(1u, doc.chunks[0].values.size());
        EXPECT_EQ(std::wstring(row.want), doc.chunks[0].values[0]) << Utf8(doc.chunks[0].values[0]);
        EXPECT_EQ(row.locale ? row.locale : GetSystemDefaultLCID(), doc.chunks[0].stat.locale);
    }
}

// A file loaded while a run is under way leaves the run's title, and its
// language, to the run's file, as it leaves its pages.
TEST_F(FilterTitle, ComesFromTheRunsFileWhateverLoadNamesSince)
{
    const std::wstring runs = ChmBuilder(m_scratch, L"runs")
                                  .File("index.htm", "<html></html>")
                                  .Option("Language=0x419")
                                  .Build("The Run's Title");
    const std::wstring other = ChmBuilder(m_scratch, L"other").File("index.htm", "<html></html>").Build("Other Title");
    auto filter = Start(runs);
    ComPtr<IPersistFile> persist;
    ASSERT_EQ(S_OK, filter.query(persist));
    ASSERT_EQ(S_OK, persist->Load(other.c_str(), STGM_READ));
    const SeenDocument doc = Pull(filter.get());
    ASSERT_FALSE(doc.chunks.empty());
    ASSERT_EQ(1u, doc.chunks[0].values.size());
    EXPECT_EQ(L"The Run's Title", doc.chunks[0].values[0]);
    EXPECT_EQ(0x419u, doc.chunks[0].stat.locale);
}

TEST_F(FilterTitle, RealHelpFiles)
{
    const std::wstring folder = FromUtf8(TAVRINOLEX_SHARED_CHM) + L"\\real";
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no real CHM files in " << TAVRINOLEX_SHARED_CHM;
    ASSERT_EQ(1252u, GetACP()) << "these cases assume the system code page 1252";
    struct Row {
        const char* file;
        const char* title;  // UTF-8
        LCID locale;        // the language #SYSTEM declares
    };
    const Row rows[] = {
        {"7z__zh-cn_7-zip.chm", "7-Zip \xE5\xB8\xAE\xE5\x8A\xA9", 0x0804},
        {"ahk-ko__AutoHotkey.chm", "AutoHotkey Help", 0x0412},
        {"chmlib__topics.classic.chm", "Innovasys RealWorld", 0x0809},
        {"filetype__fixture.chm", "filetype__fixture", 0x1409},
        {"helptest__Test Help.chm", "Title", 0x0409},
        {"innosetup__ISPP.chm", "Inno Setup Preprocessor Help", 0x0409},
        {"innosetup__ISetup.chm", "Inno Setup Help", 0x0409},
        {"innosetup__MyProg.chm", "My Program Help", 0x0409},
        {"pychm__combined.chm", "pychm__combined", 0x0409},
        {"pychm__combined2.chm", "pychm__combined2", 0x0409},
        {"tika__IMJPCL.CHM", "Microsoft IME \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE5\x85\xA5\xE5\x8A\x9B\xE3\x82\xB7\xE3\x82\xB9\xE3\x83\x86\xE3\x83\xA0", 0x0411},
        {"tika__IMTCEN.CHM", "Microsoft IME Help", 0x0409},
        {"tika__admin.chm", ".NET Framework Administrator Overview", 0x0409},
        {"tika__cmak_ops.CHM", "Kit d\xE2\x80\x99" "administration de Connection Manager", 0x040C},
        {"tika__tcpip.CHM", "TCP/IP", 0x040C},
        {"tika__testChm.chm", "HTML Help ActiveX Control Reference", 0x0409},
        {"tika__testChm3.chm", "Version Control with Subversion", 0x0409},
        {"x3d__help-ru.chm", "Help", 0x0419},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        auto filter = Start(folder + L"\\" + FromUtf8(row.file));
        STAT_CHUNK chunk{};
        ASSERT_EQ(S_OK, filter->GetChunk(&chunk));
        EXPECT_EQ(row.locale, chunk.locale);
        PROPVARIANT* value = nullptr;
        ASSERT_EQ(S_OK, filter->GetValue(&value));
        EXPECT_EQ(row.title, Utf8(std::wstring(value->pwszVal)));
        PropVariantClear(value);
        CoTaskMemFree(value);
    }
}

// The #SYSTEM record walk on bytes made by hand: what real compilers do not
// write but a damaged or crafted file may hold.
TEST(ChmTitle, RecordWalk)
{
    struct Row {
        const char* name;
        std::string bytes;
        size_t capacity;
        bool found;
        const wchar_t* want;
        LCID language;
        const char* beyond = "";  // memory right after the stream, not part of it
    };
    const std::string header("\3\0\0\0", 4);
    const std::string russian("\4\0\4\0\x19\x04\0\0", 8);
    const Row rows[] = {
        {"title", header + std::string("\3\0\4\0abc\0", 8), 64, true, L"abc", 0},
        {"empty title", header + std::string("\3\0\1\0\0", 5), 64, true, L"", 0},
        {"language after the title", header + std::string("\3\0\2\0\xE9\0", 6) + russian, 64, true, L"\x0439", 0x0419},
        {"short language record", header + std::string("\4\0\2\0\x19\x04", 6) + std::string("\3\0\2\0\xE9\0", 6), 64,
         true, L"\x00E9", 0},
        {"title runs to the end of the stream", header + std::string("\3\0\3\0abc", 7), 64, true, L"abc", 0, "def"},
        {"a record past the end ends the walk", header + std::string("\2\0\x50\0ab", 6) + std::string("\3\0\2\0x\0", 6),
         64, false, L"", 0},
        {"no title record, a language", header + std::string("\2\0\2\0x\0", 6) + russian, 64, false, L"", 0x0419},
        {"header cut short", header + std::string("\3\0", 2), 64, false, L"", 0},
        {"fits exactly", header + std::string("\3\0\4\0abc\0", 8), 4, true, L"abc", 0},
        {"one too long", header + std::string("\3\0\4\0abc\0", 8) + russian, 3, false, L"", 0x0419},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ChmTitle title;
        const std::string memory = row.bytes + row.beyond;
        EXPECT_EQ(row.found,
                  DecodeChmTitle(reinterpret_cast<const BYTE*>(memory.data()), row.bytes.size(), row.capacity, title));
        if (row.found) {
            EXPECT_EQ(std::wstring(row.want), title.text);
        }
        EXPECT_EQ(row.language, title.language);
    }
}

}  // namespace
