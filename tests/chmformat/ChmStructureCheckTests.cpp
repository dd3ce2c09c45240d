// The structure check that runs before the storage component opens a CHM:
// every sound file passes, and each kind of damage is caught by its own check.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/ChmOffsets.h"
#include "support/ListedStreams.h"
#include "support/ChmBuilder.h"
#include "support/ChmLayout.h"
#include "support/FileBytes.h"
#include "support/FolderEntries.h"
#include "support/Narrow.h"
#include "support/ScratchFolder.h"
#include "support/WinePath.h"

void PrintTo(ChmFault fault, std::ostream* out)
{
    *out << ChmFaultName(fault);
}

namespace {
// Words and numbers: text that LZX compresses to frames of many kilobytes.
std::string Text(unsigned seed, size_t words)
{
    static const char* const kWords[] = {"filter", "storage", "chunk",   "title",  "search", "host",  "folder",
                                         "stream", "help",    "section", "window", "frame",  "reset", "index"};
    std::string text;
    for (size_t i = 0; i < words; ++i) {
        seed = seed * 1103515245u + 12345u;
        char number[16];
        snprintf(number, sizeof(number), " %u ", (seed >> 8) % 1000000u);
        text += kWords[(seed >> 16) % (sizeof(kWords) / sizeof(kWords[0]))];
        text += number;
    }
    return text;
}

// Pages enough for several listing chunks under an index chunk, and text for
// several frames.
std::wstring BuildPages(const ScratchFolder& scratch, int pages, const std::wstring& project)
{
    ChmBuilder builder(scratch, project);
    builder.File("index.htm", "<html><head><title>Start</title></head><body>start</body></html>");
    for (int i = 0; i < pages; ++i) {
        char name[96];
        snprintf(name, sizeof(name), "chapter%02d/a-page-with-a-rather-long-name-%04d.htm", i % 10, i);
        builder.File(name, "<html><head><title>Page</title></head><body><p>" +
                               Text(static_cast<unsigned>(i), 120) + "</p></body></html>");
    }
    return builder.Build();
}

// Neither the structure check nor the frames of the compressed section refuse
// a sound file: real ones, the sample help file, and chmcmd's (which writes
// one LZX window, 64 KB; the other windows are rows of the table below).
TEST(ChmStructureCheck, PassesEverySoundFile)
{
    ScratchFolder scratch;
    std::vector<std::wstring> files = {FromUnix(TAVRINOLEX_SAMPLE_CHM), BuildPages(scratch, 1, L"one"),
                                       BuildPages(scratch, 1000, L"thousand")};
    const std::wstring real = FromUnix(TAVRINOLEX_SHARED_CHM "/real");
    const auto realFiles = FileNamesIn(real);
    if (realFiles.empty())
        printf("no real CHMs in %s: only the compiled files are checked\n", TAVRINOLEX_SHARED_CHM "/real");
    for (const auto& name : realFiles)
        files.push_back(real + L"\\" + name);
    for (const auto& file : files) {
        SCOPED_TRACE(Narrow(file));
        CChmStreamCheck streams;
        EXPECT_EQ(ChmFault::None, CChmStructureCheck::Run(file.c_str(), &streams));
        EXPECT_TRUE(EveryListedStreamPasses(streams));
    }
}

// Each malformed file is refused at its first fault, but the one whose fault
// only keeps the component from decoding its compressed section: that section
// is left unread.
TEST(ChmStructureCheck, RefusesEachMalformedFileAtItsFirstFault)
{
    const struct {
        const wchar_t* file;
        ChmFault want;
    } rows[] = {
        {L"mspack__cve-2015-4467-reset-interval-zero.chm", ChmFault::None},
        {L"mspack__cve-2015-4468-namelen-bounds.chm", ChmFault::SectionTable},
        {L"mspack__cve-2015-4469-namelen-bounds.chm", ChmFault::EntryBounds},
        {L"mspack__cve-2015-4472-namelen-bounds.chm", ChmFault::EntryName},
        {L"mspack__cve-2017-6419-lzx-negative-spaninfo.chm", ChmFault::ItsfHeader},
        {L"mspack__cve-2018-14679-off-by-one.chm", ChmFault::ItsfHeader},
        {L"mspack__cve-2018-14680-blank-filenames.chm", ChmFault::EntryName},
        {L"mspack__cve-2018-14682-unicode-u100.chm", ChmFault::ChunkCount},
        {L"mspack__cve-2019-1010305-name-overread.chm", ChmFault::ChunkCount},
        {L"tika__testChm_oom.chm", ChmFault::SectionTable},
    };
    const std::wstring folder = FromUnix(TAVRINOLEX_SHARED_CHM "/malformed");
    if (FileNamesIn(folder).empty())
        GTEST_SKIP() << "no malformed CHMs in " << TAVRINOLEX_SHARED_CHM "/malformed";
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.file));
        CChmStreamCheck streams;
        EXPECT_EQ(row.want, CChmStructureCheck::Run((folder + L"\\" + row.file).c_str(), &streams));
        if (row.want == ChmFault::None) {
            EXPECT_FALSE(EveryListedStreamPasses(streams));
        }
    }
}

using Patch = std::function<void(std::string&, const ChmLayout&)>;

// What the check makes of a damaged file: refused (at its first fault), or
// passed with every stream readable, or passed with some streams refused (a
// compressed section the component cannot decode, frames it cannot find or
// would decode out of its memory).
enum class Streams { Refused, AllRead, SomeRefused };

struct FaultCase {
    const char* label;
    Patch patch;
    ChmFault want;
    Streams streams = Streams::Refused;
};

// Fields of the compressed section's own streams, as offsets in the file.
size_t ControlData(const ChmLayout& l) { return l.StreamAt(ChmLayout::kControlData); }
size_t ResetTable(const ChmLayout& l) { return l.StreamAt(ChmLayout::kResetTable); }
size_t FirstChunk(const ChmLayout& l) { return l.Chunk(l.listingChunks.front()); }
// Where the reset table gives frame n's start.
size_t FrameEntry(const std::string& b, const ChmLayout& l, size_t frame)
{
    return ResetTable(l) + GetDword(b, ResetTable(l) + ChmResetTable::kTableOffset) + 8 * frame;
}

// The records' fields, as the rows name them.
namespace Itsf = ChmItsf;
namespace Itsp = ChmItsp;
namespace Listing = ChmListingChunk;
namespace Index = ChmIndexChunk;
namespace Control = ChmControlData;
namespace Reset = ChmResetTable;

const ChmLayout::ListingEntry& LastEntryOf(const ChmLayout& l, DWORD chunk)
{
    const ChmLayout::ListingEntry* last = nullptr;
    for (const auto& entry : l.listing) {
        if (entry.chunk == chunk)
            last = &entry;
    }
    return *last;
}

const ChmLayout::ListingEntry& FarthestCompressed(const ChmLayout& l)
{
    const ChmLayout::ListingEntry* farthest = &l.listing.front();
    for (const auto& entry : l.listing) {
        if (entry.section.value == 1 && entry.offset.value >= farthest->offset.value)
            farthest = &entry;
    }
    return *farthest;
}

void Window(std::string& b, const ChmLayout& l, DWORD window, DWORD resetInterval)
{
    PutDword(b, ControlData(l) + Control::kWindowSize, window);
    PutDword(b, ControlData(l) + Control::kResetInterval, resetInterval);
}

TEST(ChmStructureCheck, CatchesEachStructuralFault)
{
    ScratchFolder scratch;
    const std::string sound = FileBytes(BuildPages(scratch, 150, L"pages"));
    const ChmLayout layout(sound);
    // What the rows damage must be there.
    ASSERT_GE(layout.listingChunks.size(), 2u);
    ASSERT_EQ(1u, layout.indexChunks.size());
    ASSERT_GE(layout.index.size(), 2u);
    ASSERT_GE(GetDword(sound, ResetTable(layout) + Reset::kEntryCount), 4u) << "frames";
    ASSERT_GT(layout.Entry(ChmLayout::kContent).length.value, 0x8000u + 6144u + 1u) << "compressed bytes";
    const DWORD count = layout.chunkCount;
    const DWORD root = static_cast<DWORD>(layout.indexRoot);
    const size_t itsp = layout.directoryHeader;
    const ULONGLONG uncompressed = GetQword(sound, ResetTable(layout) + Reset::kUncompressedLength);
    const DWORD frames = static_cast<DWORD>((uncompressed + 0x7FFF) / 0x8000);

    std::vector<FaultCase> rows = {
        {"the file as compiled", [](std::string&, const ChmLayout&) {}, ChmFault::None, Streams::AllRead},
        {"a reset table without the entry at the compressed length",
         [](std::string& b, const ChmLayout& l) {
             PutDword(b, ResetTable(l) + Reset::kEntryCount, GetDword(b, ResetTable(l) + Reset::kEntryCount) - 1);
         },
         ChmFault::None, Streams::AllRead},

        {"the file header's signature", [](std::string& b, const ChmLayout&) { b[0] = 'X'; }, ChmFault::ItsfHeader},
        {"a file header of version 4",
         [](std::string& b, const ChmLayout&) { PutDword(b, Itsf::kVersion, 4); },
         ChmFault::ItsfHeader},
        {"a file cut inside its header", [](std::string& b, const ChmLayout&) { b.resize(0x50); }, ChmFault::ItsfHeader},
        {"the directory running past the file",
         [](std::string& b, const ChmLayout&) { PutQword(b, Itsf::kDirectoryLength, b.size()); },
         ChmFault::SectionTable},
        {"header section 0 running past the file",
         [](std::string& b, const ChmLayout&) { PutQword(b, Itsf::kSection0Length, b.size()); },
         ChmFault::SectionTable},
        {"the content beginning past the file",
         [](std::string& b, const ChmLayout&) { PutQword(b, Itsf::kContentOffset, b.size() + 1); },
         ChmFault::SectionTable},

        {"the directory header's signature", [itsp](std::string& b, const ChmLayout&) { b[itsp] = 'X'; },
         ChmFault::DirectoryHeader},
        {"a directory header of another length",
         [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kHeaderLength, 0x50); },
         ChmFault::DirectoryHeader},
        {"chunks of 16 bytes", [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kChunkSize, 0x10); },
         ChmFault::ChunkSize},
        {"chunks of 1 MB", [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kChunkSize, 0x100000); },
         ChmFault::ChunkSize},
        {"a billion chunks",
         [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kChunkCount, 1000000000); },
         ChmFault::ChunkCount},
        {"no chunk",
         [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kChunkCount, 0); },
         ChmFault::ChunkCount},
        {"one chunk more than the directory holds",
         [itsp, count](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kChunkCount, count + 1); },
         ChmFault::ChunkCount},
        {"the first listing chunk past the directory",
         [itsp, count](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kFirstListing, count); },
         ChmFault::ListingBounds},
        // The component lists nothing from it; every stream is found by its name.
        {"the first listing chunk an index chunk",
         [itsp, root](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kFirstListing, root); },
         ChmFault::None, Streams::AllRead},
        {"the first listing chunk a later one",
         [itsp](std::string& b, const ChmLayout& l) {
             PutDword(b, itsp + Itsp::kFirstListing, l.listingChunks.back());
         },
         ChmFault::None, Streams::AllRead},
        {"no last listing chunk",
         [itsp](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kLastListing, 0xFFFFFFFF); },
         ChmFault::ListingBounds},
        {"the index root past the directory",
         [itsp, count](std::string& b, const ChmLayout&) { PutDword(b, itsp + Itsp::kIndexRoot, count); },
         ChmFault::IndexRoot},

        {"a listing chunk's signature", [](std::string& b, const ChmLayout& l) { b[FirstChunk(l)] = 'X'; },
         ChmFault::ChunkSignature},
        {"free space larger than the chunk",
         [](std::string& b, const ChmLayout& l) { PutDword(b, FirstChunk(l) + Listing::kFreeSpace, l.chunkSize); },
         ChmFault::ChunkFreeSpace},
        {"no free space for the entry count",
         [](std::string& b, const ChmLayout& l) { PutDword(b, FirstChunk(l) + Listing::kFreeSpace, 0); },
         ChmFault::ChunkFreeSpace},
        {"an index chunk's free space larger than the chunk",
         [root](std::string& b, const ChmLayout& l) { PutDword(b, l.Chunk(root) + Index::kFreeSpace, l.chunkSize); },
         ChmFault::ChunkFreeSpace},
        {"an entry count one too high",
         [](std::string& b, const ChmLayout& l) {
             const size_t at = FirstChunk(l) + l.chunkSize - 2;
             b[at] = static_cast<char>(b[at] + 1);
         },
         ChmFault::EntryCount},
        {"free space cutting the last entry short",
         [](std::string& b, const ChmLayout& l) {
             PutDword(b, FirstChunk(l) + Listing::kFreeSpace, GetDword(b, FirstChunk(l) + Listing::kFreeSpace) + 1);
         },
         ChmFault::EntryCount},
        {"a name of no bytes",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, l.listing[3].nameLength, 0); }, ChmFault::EntryName},
        {"a name running past its chunk",
         [](std::string& b, const ChmLayout& l) {
             PutEncInt(b, LastEntryOf(l, l.listingChunks.front()).nameLength, 127);
         },
         ChmFault::EntryName},
        {"a NUL inside a name", [](std::string& b, const ChmLayout& l) { b[l.listing[3].namePos + 1] = '\0'; },
         ChmFault::EntryName},
        {"an index entry's name of no bytes",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, l.index[1].nameLength, 0); }, ChmFault::EntryName},
        {"a page in section 2",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, FarthestCompressed(l).section, 2); },
         ChmFault::EntrySection},
        {"an uncompressed stream running past the file",
         [](std::string& b, const ChmLayout& l) {
             const auto& entry = l.Entry(ChmLayout::kContent);
             PutEncInt(b, entry.length, (1ull << (7 * entry.length.size)) - 1);
         },
         ChmFault::EntryBounds},
        {"a page past the uncompressed length",
         [](std::string& b, const ChmLayout& l) {
             const auto& entry = FarthestCompressed(l);
             PutEncInt(b, entry.offset, (1ull << (7 * entry.offset.size)) - 1);
         },
         ChmFault::None, Streams::SomeRefused},
        {"a name of 513 bytes, as a path of 171 Chinese characters takes",
         [](std::string& b, const ChmLayout& l) {
             // A page of the last chunk, whose free space takes the longer name.
             const ChmLayout::ListingEntry* page = nullptr;
             for (const auto& listed : l.listing) {
                 if (listed.chunk == l.listingChunks.back() && listed.name[0] == '/')
                     page = &listed;
             }
             ASSERT_NE(nullptr, page);
             const auto& entry = *page;
             std::string name = "/" + std::string(512, 'n');
             const size_t chunk = l.Chunk(entry.chunk);
             const DWORD free = GetDword(b, chunk + Listing::kFreeSpace);
             const size_t grow = name.size() - entry.name.size() + 1;
             if (free < grow + 2) {
                 ADD_FAILURE() << "no room for the longer name";
                 return;
             }
             const size_t at = entry.nameLength.pos;
             const size_t used = l.chunkSize - free;
             std::string entryBytes = b.substr(at + entry.nameLength.size + entry.name.size(),
                                               chunk + used - (at + entry.nameLength.size + entry.name.size()));
             std::string rewritten;
             rewritten += static_cast<char>(0x80 | (name.size() >> 7));
             rewritten += static_cast<char>(name.size() & 0x7F);
             rewritten += name + entryBytes;
             b.replace(at, chunk + used - at, rewritten);
             b.erase(at + rewritten.size(), grow);  // keeps the chunk's size
             PutDword(b, chunk + Listing::kFreeSpace, static_cast<DWORD>(free - grow));
         },
         ChmFault::None, Streams::AllRead},

        {"a listing chunk naming itself as the next",
         [](std::string& b, const ChmLayout& l) {
             const size_t first = l.Chunk(static_cast<DWORD>(l.firstListing));
             PutDword(b, first + Listing::kNext, static_cast<DWORD>(l.firstListing));
         },
         ChmFault::ChunkChain},
        {"a next chunk past the directory",
         [count](std::string& b, const ChmLayout& l) { PutDword(b, FirstChunk(l) + Listing::kNext, count); },
         ChmFault::ChunkChain},
        {"a previous chunk past the directory",
         [count](std::string& b, const ChmLayout& l) { PutDword(b, FirstChunk(l) + Listing::kPrevious, count); },
         ChmFault::ChunkChain},
        {"the index chunk as the next listing chunk",
         [root](std::string& b, const ChmLayout& l) {
             PutDword(b, l.Chunk(static_cast<DWORD>(l.firstListing)) + Listing::kNext, root);
         },
         ChmFault::ChunkChain},
        {"an index entry naming a chunk past the directory",
         [count](std::string& b, const ChmLayout& l) { PutEncInt(b, l.index[1].child, count); },
         ChmFault::IndexChild},
        {"an index entry naming the root",
         [root](std::string& b, const ChmLayout& l) { PutEncInt(b, l.index[1].child, root); }, ChmFault::IndexChild},
        {"two index entries naming one chunk",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, l.index[1].child, l.index[0].child.value); },
         ChmFault::IndexChild},

        {"no control data",
         [](std::string& b, const ChmLayout& l) { b[l.Entry(ChmLayout::kControlData).namePos + 40] = 'X'; },
         ChmFault::SectionEntry},
        {"the reset table compressed",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, l.Entry(ChmLayout::kResetTable).section, 1); },
         ChmFault::SectionEntry},
        {"section 0 named otherwise",
         [](std::string& b, const ChmLayout& l) { b[l.StreamAt(ChmLayout::kNameList) + 8] = 'X'; },
         ChmFault::NameList},
        {"one section named while the compressed one is used",
         [](std::string& b, const ChmLayout& l) { b[l.StreamAt(ChmLayout::kNameList) + 2] = 1; },
         ChmFault::NameList},

        // The component turns compression off, or could not decode with such
        // data: the compressed section is left unread, the file is not refused.
        {"the control data's signature",
         [](std::string& b, const ChmLayout& l) { b[ControlData(l) + Control::kSignature] = 'X'; },
         ChmFault::None, Streams::SomeRefused},
        {"control data of version 3",
         [](std::string& b, const ChmLayout& l) { PutDword(b, ControlData(l) + Control::kVersion, 3); },
         ChmFault::None, Streams::SomeRefused},
        {"control data shorter than its fields",
         [](std::string& b, const ChmLayout& l) { PutEncInt(b, l.Entry(ChmLayout::kControlData).length, 0x10); },
         ChmFault::ControlData},
        {"a window of 96 KB", [](std::string& b, const ChmLayout& l) { Window(b, l, 3, 6); }, ChmFault::None,
         Streams::SomeRefused},
        {"a window of 4 MB", [](std::string& b, const ChmLayout& l) { Window(b, l, 128, 128); }, ChmFault::None,
         Streams::SomeRefused},
        // The component divides by half the window as it opens the file.
        {"no window", [](std::string& b, const ChmLayout& l) { Window(b, l, 0, 2); }, ChmFault::ControlData},
        {"a window that is 0 in 32 bits", [](std::string& b, const ChmLayout& l) { Window(b, l, 0x20000, 2); },
         ChmFault::ControlData},
        {"no reset interval", [](std::string& b, const ChmLayout& l) { Window(b, l, 2, 0); }, ChmFault::None,
         Streams::SomeRefused},
        {"a reset interval of a quarter window", [](std::string& b, const ChmLayout& l) { Window(b, l, 4, 1); },
         ChmFault::None, Streams::SomeRefused},
        {"a reset interval beyond 32 bits", [](std::string& b, const ChmLayout& l) { Window(b, l, 2, 0x20000); },
         ChmFault::None, Streams::SomeRefused},
        // The component would divide by no frames between resets.
        {"no windows per reset",
         [](std::string& b, const ChmLayout& l) { PutDword(b, ControlData(l) + Control::kWindowsPerReset, 0); },
         ChmFault::None, Streams::SomeRefused},
        {"frames per reset beyond 32 bits",
         [](std::string& b, const ChmLayout& l) {
             Window(b, l, 2, 0x10000);
             PutDword(b, ControlData(l) + Control::kWindowsPerReset, 0x10000);
         },
         ChmFault::None, Streams::SomeRefused},

        {"a reset table of version 1",
         [](std::string& b, const ChmLayout& l) { PutDword(b, ResetTable(l) + Reset::kVersion, 1); },
         ChmFault::None, Streams::SomeRefused},
        // The component reads entries of 8 bytes whatever the table says.
        {"reset table entries of 4 bytes",
         [](std::string& b, const ChmLayout& l) { PutDword(b, ResetTable(l) + Reset::kEntrySize, 4); }, ChmFault::None,
         Streams::SomeRefused},
        {"frames of 64 KB",
         [](std::string& b, const ChmLayout& l) { PutQword(b, ResetTable(l) + Reset::kFrameSize, 0x10000); },
         ChmFault::None, Streams::SomeRefused},
        // The component finds every frame where it finds it in a sound file.
        {"more entries than the table holds",
         [](std::string& b, const ChmLayout& l) {
             PutDword(b, ResetTable(l) + Reset::kEntryCount, GetDword(b, ResetTable(l) + Reset::kEntryCount) + 10);
         },
         ChmFault::None, Streams::AllRead},
        {"an uncompressed length of twice the frames",
         [](std::string& b, const ChmLayout& l) {
             const size_t field = ResetTable(l) + Reset::kUncompressedLength;
             PutQword(b, field, 2 * GetQword(b, field));
         },
         ChmFault::None, Streams::AllRead},
        {"a compressed length beyond the content",
         [](std::string& b, const ChmLayout& l) {
             PutQword(b, ResetTable(l) + Reset::kCompressedLength, l.Entry(ChmLayout::kContent).length.value + 1);
         },
         ChmFault::None, Streams::AllRead},
        // Frames the component would decode from the wrong bytes, or out of
        // its buffer: the streams in them are refused.
        {"a first frame not at the start",
         [](std::string& b, const ChmLayout& l) { PutQword(b, FrameEntry(b, l, 0), 1); }, ChmFault::None,
         Streams::SomeRefused},
        {"frames out of order",
         [](std::string& b, const ChmLayout& l) {
             PutQword(b, FrameEntry(b, l, 1), GetQword(b, FrameEntry(b, l, 2)));
         },
         ChmFault::None, Streams::SomeRefused},
        {"a frame longer than the component's buffer",
         [](std::string& b, const ChmLayout& l) {
             PutQword(b, FrameEntry(b, l, 1), 0x8000 + 6144 + 1);
             PutQword(b, ResetTable(l) + Reset::kCompressedLength, l.Entry(ChmLayout::kContent).length.value);
         },
         ChmFault::None, Streams::SomeRefused},
        {"fewer entries than frames",
         [frames](std::string& b, const ChmLayout& l) { PutDword(b, ResetTable(l) + Reset::kEntryCount, frames - 2); },
         ChmFault::None,
         Streams::SomeRefused},
    };
    // Every LZX window, with a reset interval the storage component can use,
    // passes; the file's frames, compressed with another window and resets,
    // would not decode with it, and are found so.
    static const char* const kWindows[] = {"32 KB", "64 KB", "128 KB", "256 KB", "512 KB", "1 MB", "2 MB"};
    for (DWORD bits = 0; bits < 7; ++bits) {
        const DWORD frames = 1u << bits;
        rows.push_back({kWindows[bits], [frames](std::string& b, const ChmLayout& l) { Window(b, l, frames, 2 * frames); },
                        ChmFault::None, Streams::SomeRefused});
    }

    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::string damaged = sound;
        row.patch(damaged, layout);
        const std::wstring path = scratch.WriteFile(L"damaged.chm", damaged);
        CChmStreamCheck streams;
        EXPECT_EQ(row.want, CChmStructureCheck::Run(path.c_str(), &streams));
        if (row.want == ChmFault::None) {
            EXPECT_EQ(row.streams == Streams::AllRead, EveryListedStreamPasses(streams));
        }
    }
}
}  // namespace
