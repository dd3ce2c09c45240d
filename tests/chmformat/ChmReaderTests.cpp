// Our own reader of help files against the storage component: every stream
// the directory lists, whole and in pieces across frame and reset boundaries,
// byte for byte, from a file and from a COM stream; crafted LZX sections for
// what compilers rarely write; and the bounds of a read.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmReader.h"
#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/CStreamByteSource.h"
#include "chmformat/ChmEntryNames.h"
#include "support/ChmBuilder.h"
#include "support/FileBytes.h"
#include "support/FolderEntries.h"
#include "support/ListedStreams.h"
#include "support/LoadedModule.h"
#include "support/LzxChm.h"
#include "support/LzxEncoder.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "support/StorageCalls.h"
#include "support/TestStream.h"
#include "support/WinePath.h"
#include "util/owners/ComPtr.h"

void PrintTo(ChmFault fault, std::ostream* out);

namespace {
constexpr ULONGLONG kFrame = 0x8000;

std::unique_ptr<IChmByteSource> FileSource(const std::wstring& chm)
{
    std::unique_ptr<CBoundedFileReader> file(new CBoundedFileReader);
    if (!file->Open(chm.c_str()))
        return nullptr;
    return std::unique_ptr<IChmByteSource>(file.release());
}

std::unique_ptr<IChmByteSource> StreamSource(const std::wstring& chm)
{
    ComPtr<IStream> host;
    host.receive([&](IStream** out) {
        return SHCreateStreamOnFileEx(chm.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                      nullptr, out);
    });
    std::unique_ptr<CStreamByteSource> source(new CStreamByteSource);
    if (!host || !source->Open(host.get()))
        return nullptr;
    return std::unique_ptr<IChmByteSource>(source.release());
}

// What the storage component gives for a directory name; false when it cannot reach the stream.
bool ComponentBytes(const ComPtr<IStorage>& root, const std::string& entry, std::string& bytes)
{
    std::wstring folder;
    std::wstring name;
    if (!ChmEntryPath(entry, false, folder, name))
        return false;
    const ComPtr<IStorage> storage = OpenFolder(root, folder);
    if (!storage)
        return false;
    ComPtr<IStream> stream;
    if (FAILED(stream.receive([&](IStream** out) {
            return storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, out);
        })) ||
        !stream)
        return false;
    bytes = ReadStream(stream.get());
    return true;
}

// Reads of a stream that begins at offset in its section and holds length
// bytes: around its first frame boundary, the one two frames on (one of the
// two is a reset point wherever a reset falls every frame or every other),
// its last, its end and past it.
std::vector<std::pair<ULONGLONG, DWORD>> Pieces(ULONGLONG offset, ULONGLONG length)
{
    std::vector<std::pair<ULONGLONG, DWORD>> pieces = {{0, 7}, {length > 0 ? length - 1 : 0, 10}, {length, 5}};
    const ULONGLONG first = (kFrame - offset % kFrame) % kFrame;
    const ULONGLONG last = length > 0 ? length - 1 - (offset + length - 1) % kFrame : 0;
    for (ULONGLONG boundary : {first, first + 2 * kFrame, last}) {
        if (boundary == 0 || boundary >= length)
            continue;
        pieces.push_back({boundary - 1, 2});
        pieces.push_back({boundary > 5000 ? boundary - 5000 : 0, 40000});
    }
    return pieces;
}

// Every stream the component reaches, through one reader of the file (whole
// streams, in directory order) and one of a COM stream over it (pieces, last
// entry first, so it goes back and forth in the section). Returns how many
// streams were compared.
size_t ExpectSameAsComponent(const std::wstring& chm)
{
    CChmReader whole;
    CChmReader pieces;
    EXPECT_EQ(ChmFault::None, whole.Open(FileSource(chm)));
    EXPECT_EQ(ChmFault::None, pieces.Open(StreamSource(chm)));
    const ComPtr<IStorage> root = OpenChmRoot(chm);
    EXPECT_TRUE(root);
    if (!root || whole.Listing().Count() == 0)
        return 0;
    size_t compared = 0;
    const CChmListing& listing = whole.Listing();
    for (size_t order = 0; order < 2 * listing.Count(); ++order) {
        const bool inPieces = order >= listing.Count();
        const size_t n = inPieces ? 2 * listing.Count() - 1 - order : order;
        const std::string name = listing.Name(n);
        std::string expected;
        size_t entry = 0;
        if (!whole.Find(name, entry) || entry != n || !ComponentBytes(root, name, expected))
            continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(listing.At(n).length, expected.size());
        if (!inPieces) {
            std::vector<BYTE> bytes;
            EXPECT_EQ(ChmFault::None, whole.ReadAll(n, bytes));
            EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == expected) << "whole stream differs";
            ++compared;
            continue;
        }
        for (const auto& piece : Pieces(listing.At(n).offset, listing.At(n).length)) {
            std::string bytes(piece.second, '\0');
            DWORD read = 0;
            EXPECT_EQ(ChmFault::None, pieces.Read(n, piece.first, &bytes[0], piece.second, &read));
            bytes.resize(read);
            const std::string want = piece.first < expected.size() ? expected.substr(static_cast<size_t>(piece.first), piece.second) : "";
            EXPECT_TRUE(bytes == want) << "at " << piece.first << ", " << piece.second << " bytes";
        }
    }
    return compared;
}

std::wstring BuildPages(const ScratchFolder& scratch, int pages)
{
    ChmBuilder builder(scratch, L"pages" + std::to_wstring(pages));
    builder.File("index.htm", "<html><head><title>Start</title></head><body>start</body></html>");
    unsigned seed = 7;
    for (int i = 0; i < pages; ++i) {
        std::string text;
        for (int w = 0; w < 150; ++w) {
            seed = seed * 1103515245u + 12345u;
            text += "word" + std::to_string((seed >> 8) % 100000u) + " ";
        }
        builder.File("part" + std::to_string(i % 7) + "/page" + std::to_string(i) + ".htm",
                     "<html><head><title>Page</title></head><body><p>" + text + "</p></body></html>");
    }
    return builder.Build("Pages", "pages" + std::to_string(pages) + ".chm");
}

TEST(ChmReader, GivesTheComponentsBytesForEveryListedStream)
{
    ComApartment com;
    ScratchFolder scratch;
    // The larger compiled file spans some forty frames, twenty reset intervals.
    std::vector<std::wstring> files = {FromUnix(TAVRINOLEX_SAMPLE_CHM), BuildPages(scratch, 1500)};
    const std::wstring real = FromUnix(TAVRINOLEX_SHARED_CHM "/real");
    const auto realFiles = FileNamesIn(real);
    if (realFiles.empty())
        printf("no real CHMs in %s: only the compiled files are compared\n", TAVRINOLEX_SHARED_CHM "/real");
    for (const auto& name : realFiles)
        files.push_back(real + L"\\" + name);
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        EXPECT_GT(ExpectSameAsComponent(file), 0u);
    }
}

// A host's stream that gives its bytes in small pieces reads like the file; one
// that stops short, claims more than it gave, or cannot seek to its end is a
// fault of the file, at the open or at the read that meets it, never a crash.
TEST(ChmReader, ReadsAHostsStreamWithSeekAndReadOnly)
{
    ScratchFolder scratch;
    const std::wstring chm = BuildPages(scratch, 60);
    const std::string bytes = FileBytes(chm);
    CChmReader file;
    ASSERT_EQ(ChmFault::None, file.Open(FileSource(chm)));
    const struct {
        const char* what;
        ULONG perRead;
        ULONGLONG failFrom;
        bool endFails;
        bool overclaims;
    } rows[] = {
        {"pieces of 1000 bytes", 1000, ~0ull, false, false},
        {"nothing past the middle", ~0ul, bytes.size() / 2, false, false},
        {"nothing past the directory", ~0ul, 0x2000, false, false},
        {"more claimed than given", ~0ul, ~0ull, false, true},
        {"no seek to the end", ~0ul, ~0ull, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // Nothing but Seek and Read: its Stat fails.
        TestStream::Faults awkward;
        awkward.largestRead = row.perRead;
        awkward.nothingFrom = row.failFrom;
        awkward.endSeekFails = row.endFails;
        awkward.overclaims = row.overclaims;
        awkward.statFails = true;
        const ComPtr<IStream> host(TestStream::Create(bytes, L"", awkward));
        std::unique_ptr<CStreamByteSource> source(new CStreamByteSource);
        const bool sized = source->Open(host.get());
        EXPECT_EQ(!row.endFails, sized);
        if (!sized)
            continue;
        CChmReader reader;
        const ChmFault opened = reader.Open(std::move(source));
        const bool whole = row.failFrom == ~0ull && !row.overclaims;
        if (whole) {
            ASSERT_EQ(ChmFault::None, opened);
        }
        if (opened != ChmFault::None)
            continue;
        size_t faults = 0;
        for (size_t i = 0; i < reader.Listing().Count(); ++i) {
            std::vector<BYTE> got;
            std::vector<BYTE> want;
            const ChmFault fault = reader.ReadAll(i, got);
            ASSERT_EQ(ChmFault::None, file.ReadAll(i, want));
            if (fault == ChmFault::None)
                EXPECT_TRUE(got == want) << reader.Listing().Name(i);
            else
                EXPECT_TRUE(fault == ChmFault::Unreadable || fault == ChmFault::Frame) << ChmFaultName(fault);
            faults += fault != ChmFault::None;
        }
        EXPECT_EQ(whole, faults == 0);
    }
}

// A frame that cannot be decoded is a named fault, and is remembered: reads
// aimed past it before the next reset fail at once, in the reader and in the
// check, without decoding from the reset point again.
TEST(ChmReader, RemembersAFailedFrameUntilTheNextReset)
{
    ScratchFolder scratch;
    LzxSection section = LongRunsSection(8);
    section.frames[2].clear();  // a frame of no bytes
    const std::wstring chm = scratch.WriteFile(L"failed.chm", LzxChm(section, {{"/a.htm", 0, 8 * kFrame}, {"/b.htm", 4 * kFrame, 2 * kFrame}}));
    CChmReader reader;
    ASSERT_EQ(ChmFault::None, reader.Open(FileSource(chm)));
    size_t page = 0;
    ASSERT_TRUE(reader.Find("/a.htm", page));
    char bytes[4];
    DWORD read = 0;
    EXPECT_EQ(ChmFault::None, reader.Read(page, kFrame + 5, bytes, 4, &read));
    EXPECT_EQ(std::string(4, 'x'), std::string(bytes, read));
    EXPECT_EQ(ChmFault::Frame, reader.Read(page, 3 * kFrame, bytes, 4, &read));
    EXPECT_EQ(0u, read);
    const ULONGLONG decoded = reader.FramesDecoded();
    for (ULONGLONG frame : {5, 2, 7})
        EXPECT_EQ(ChmFault::Frame, reader.Read(page, frame * kFrame, bytes, 4, &read));
    EXPECT_EQ(decoded, reader.FramesDecoded());

    CChmStreamCheck streams;
    ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(chm.c_str(), &streams));
    EXPECT_FALSE(streams.Allows(L"", L"a.htm", 3 * kFrame + 1));
    const ULONGLONG followed = streams.FramesDecoded();
    EXPECT_FALSE(streams.Allows(L"", L"b.htm", 2 * kFrame));
    EXPECT_EQ(followed, streams.FramesDecoded());
}

// A stream longer than the cap is never handed out whole; its pieces still are.
TEST(ChmReader, HandsOutNoStreamLongerThanTheCapWhole)
{
    ScratchFolder scratch;
    constexpr DWORD kFrames = static_cast<DWORD>(CChmReader::kMaxStreamBytes / kFrame) + 1;
    const std::wstring chm =
        scratch.WriteFile(L"long.chm", LzxChm(LongRunsSection(kFrames), {{"/long.htm", 0, kFrames * kFrame}}));
    CChmReader reader;
    ASSERT_EQ(ChmFault::None, reader.Open(FileSource(chm)));
    size_t page = 0;
    ASSERT_TRUE(reader.Find("/long.htm", page));
    std::vector<BYTE> whole;
    EXPECT_EQ(ChmFault::TooLong, reader.ReadAll(page, whole));
    EXPECT_TRUE(whole.empty());
    char bytes[8];
    DWORD read = 0;
    EXPECT_EQ(ChmFault::None, reader.Read(page, CChmReader::kMaxStreamBytes - 4, bytes, 8, &read));
    EXPECT_EQ(std::string(8, 'x'), std::string(bytes, read));
    EXPECT_FALSE(reader.Find("/LONG.htm", page)) << "names are found exactly";
}

// Position slots as the decoder counts them: the slot of an offset, its base
// and how many verbatim bits follow.
struct Slot {
    int slot;
    DWORD extra;
    int bits;
};
Slot SlotOf(DWORD offset)
{
    static const int kExtra[51] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,
                                   7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15,
                                   16, 16, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17};
    DWORD base = 0;
    for (int slot = 0; slot < 50; ++slot) {
        const DWORD next = base + (1u << kExtra[slot]);
        if (slot >= 4 && offset + 2 >= base && offset + 2 < next)
            return {slot, offset + 2 - base, kExtra[slot]};
        base = next;
    }
    return {-1, 0, 0};
}

// A frame of one verbatim block: a line naming it, a match reaching back
// reach bytes (when there are that many behind it), then matches of 8 bytes at
// offset 1 and literals to fill 32 KB.
std::string TextFrame(LzxEncoder& lzx, const int (&elements)[4], DWORD frame, DWORD reach)
{
    lzx.Compressed(static_cast<DWORD>(kFrame), false, elements);
    char line[64];
    snprintf(line, sizeof(line), "frame %u of a crafted section\n", static_cast<unsigned>(frame));
    DWORD written = static_cast<DWORD>(strlen(line));
    lzx.Literals(line);
    if (reach != 0) {
        const Slot back = SlotOf(reach);
        lzx.Match(1, back.extra, back.bits);
        written += 8;
    }
    for (; written + 8 <= kFrame; written += 8)
        lzx.Match(0);
    lzx.Literals(std::string(kFrame - written, '.'));
    return lzx.EndFrame();
}

struct CraftedRow {
    const char* what;
    LzxSection section;
    std::vector<LzxPage> pages;
};

// Sections of as many frames between resets as a window holds and one more,
// so that the window wraps, with a match reaching back almost a window.
CraftedRow WindowRow(DWORD window)
{
    CraftedRow row{"a window", {}, {}};
    row.section.windowSize = window;
    const DWORD perReset = window / static_cast<DWORD>(kFrame) + 1;
    row.section.framesPerReset = perReset;
    LzxEncoder lzx(window);
    const DWORD reach = window - 64;
    const int elements[4] = {256 + (3 << 3 | 6), 256 + (SlotOf(reach).slot << 3 | 6), 256 + 8, 256 + 16};
    for (DWORD frame = 0; frame < perReset + 2; ++frame) {
        if (frame % perReset == 0) {
            lzx.Reset();
            lzx.TranslationHeader(0);
        }
        const DWORD behind = frame % perReset * static_cast<DWORD>(kFrame);
        row.section.frames.push_back(TextFrame(lzx, elements, frame, behind >= reach ? reach : 0));
    }
    const ULONGLONG total = row.section.frames.size() * kFrame;
    // A page across the last reset point, and one over everything.
    row.pages = {{"/reset.htm", perReset * kFrame - 100, 300}, {"/all.htm", 0, total}};
    return row;
}

// E8 translation over uncompressed blocks: one crosses into the second frame
// with an odd length; calls sit at the last place a frame's bytes are
// translated and just past it.
CraftedRow TranslationRow()
{
    CraftedRow row{"E8 calls in uncompressed blocks across a frame", {}, {}};
    row.section.framesPerReset = 4;
    LzxEncoder lzx(0x10000);
    std::string first(kFrame, 'x');
    const std::string call = std::string("\xE8\x10\x00\x00\x00", 5);
    for (size_t at : {size_t(100), size_t(kFrame - 11), size_t(kFrame - 10)})
        first.replace(at, 5, call.substr(0, static_cast<size_t>(kFrame - at < 5 ? kFrame - at : 5)));
    first.replace(200, 5, std::string("\xE8\xF0\xFF\xFF\xFF", 5));  // a negative address
    lzx.TranslationHeader(0x20000);
    const DWORD length = static_cast<DWORD>(kFrame) + 7001;
    lzx.Uncompressed(length, first);
    row.section.frames.push_back(lzx.EndFrame());
    std::string rest(7001, 'y');
    rest.replace(3000, 5, call);
    lzx.Raw(rest + std::string(1, '\0'));
    const DWORD second = static_cast<DWORD>(kFrame) - 7001;
    std::string tail(second, 'z');
    tail.replace(second - 11, 5, call);
    lzx.Uncompressed(second, tail);
    lzx.Raw(std::string(1, '\0'));
    row.section.frames.push_back(lzx.EndFrame());
    row.pages = {{"/calls.htm", 0, 2 * kFrame}, {"/across.htm", kFrame - 50, 100}};
    return row;
}

// An aligned-offset block: offsets of 3 extra bits take an aligned symbol
// alone, of more a verbatim part and an aligned symbol, of fewer verbatim bits.
CraftedRow AlignedRow()
{
    CraftedRow row{"an aligned-offset block", {}, {}};
    LzxEncoder lzx(0x10000);
    const int elements[4] = {256 + (3 << 3 | 6), 256 + (8 << 3 | 1), 256 + (12 << 3 | 1), 256 + (5 << 3 | 1)};
    lzx.TranslationHeader(0);
    lzx.Compressed(static_cast<DWORD>(kFrame), true, elements);
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += static_cast<char>('a' + i % 26);
    lzx.Literals(text);
    DWORD written = 100;
    for (int i = 0; i < 8; ++i, written += 3 * 3) {
        lzx.Match(1, 0, 0, i);          // slot 8: offset 14 + i
        lzx.Match(2, i & 1, 2, 7 - i);  // slot 12: offset 62 + 8 * verbatim + aligned
        lzx.Match(3, i & 1, 1);         // slot 5: offset 4 + verbatim
    }
    for (; written + 8 <= kFrame; written += 8)
        lzx.Match(0);
    lzx.Literals(std::string(kFrame - written, '-'));
    row.section.frames.push_back(lzx.EndFrame());
    row.pages = {{"/aligned.htm", 0, 2000}};
    return row;
}

// The last frame holds less than 32 KB of the section, and a stream of no bytes.
CraftedRow ShortLastFrameRow()
{
    CraftedRow row{"a last frame shorter than 32 KB, a stream of 0 bytes", {}, {}};
    LzxEncoder lzx(0x10000);
    const int elements[4] = {256 + (3 << 3 | 6), 256 + (4 << 3 | 6), 256 + 8, 256 + 16};
    for (DWORD frame = 0; frame < 3; ++frame) {
        if (frame % 2 == 0) {
            lzx.Reset();
            lzx.TranslationHeader(0);
        }
        row.section.frames.push_back(TextFrame(lzx, elements, frame, 0));
    }
    row.section.uncompressedLength = 2 * kFrame + 1000;
    row.pages = {{"/end.htm", 2 * kFrame - 10, 1010}, {"/empty.htm", 5, 0}};
    return row;
}

TEST(ChmReader, DecodesCraftedSectionsAsTheComponentDoes)
{
    ComApartment com;
    ScratchFolder scratch;
    std::vector<CraftedRow> rows = {TranslationRow(), AlignedRow(), ShortLastFrameRow()};
    for (DWORD window = 0x8000; window <= 0x200000; window *= 2)
        rows.push_back(WindowRow(window));
    int n = 0;
    for (const CraftedRow& row : rows) {
        SCOPED_TRACE(std::string(row.what) + ", window " + std::to_string(row.section.windowSize));
        const std::wstring chm = scratch.WriteFile(L"crafted" + std::to_wstring(++n) + L".chm", LzxChm(row.section, row.pages));
        // The check passes every frame the reader decodes.
        CChmStreamCheck streams;
        ASSERT_EQ(ChmFault::None, CChmStructureCheck::Run(chm.c_str(), &streams));
        EXPECT_TRUE(EveryListedStreamPasses(streams));
        EXPECT_EQ(row.pages.size(), ExpectSameAsComponent(chm));
    }
}
}  // namespace
