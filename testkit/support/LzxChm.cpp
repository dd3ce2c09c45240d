#include "support/LzxChm.h"

#include "support/ChmLayout.h"
#include "support/LzxEncoder.h"
#include "support/UncompressedChm.h"

namespace {
std::string Le(ULONGLONG value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

std::string SectionName(const char* name)
{
    std::string out = Le(std::string(name).size(), 2);
    for (const char* c = name; *c; ++c)
        out += Le(static_cast<unsigned char>(*c), 2);
    return out + Le(0, 2);
}
}  // namespace

std::string LzxChm(const LzxSection& section, const std::vector<LzxPage>& pages)
{
    // Its length in words, two sections, their names.
    const std::string sections = Le(2, 2) + SectionName("Uncompressed") + SectionName("MSCompressed");
    const std::string names = Le(sections.size() / 2 + 1, 2) + sections;
    // Version 1 counts in bytes: the component takes frames between resets
    // as the reset interval over half the window, times the windows a reset.
    const std::string control = Le(6, 4) + "LZXC" + Le(1, 4) + Le(section.framesPerReset * (section.windowSize / 2), 4) +
                                Le(section.windowSize, 4) + Le(1, 4) + Le(0, 4) + Le(0, 4);
    std::string content;
    std::string starts;
    for (const std::string& frame : section.frames) {
        starts += Le(content.size(), 8);
        content += frame;
    }
    const ULONGLONG uncompressed =
        section.uncompressedLength != 0 ? section.uncompressedLength : section.frames.size() * 0x8000ull;
    const std::string table = Le(2, 4) + Le(section.frames.size(), 4) + Le(8, 4) + Le(0x28, 4) + Le(uncompressed, 8) +
                              Le(content.size(), 8) + Le(0x8000, 8) + starts;

    std::vector<ChmListedEntry> entries;
    for (const LzxPage& page : pages) {
        ChmListedEntry entry;
        entry.name = page.name;
        entry.section = 1;
        entry.offset = page.offset;
        entry.length = page.length;
        entries.push_back(entry);
    }
    const std::pair<const char*, const std::string*> own[] = {
        {ChmLayout::kNameList, &names},
        {ChmLayout::kControlData, &control},
        {ChmLayout::kResetTable, &table},
        {ChmLayout::kContent, &content},
    };
    for (const auto& stream : own) {
        ChmListedEntry entry;
        entry.name = stream.first;
        entry.length = stream.second->size();
        entry.bytes = *stream.second;
        entries.push_back(entry);
    }
    return ChmWithEntries(entries);
}

LzxSection LongRunsSection(DWORD frames)
{
    LzxSection section;
    section.windowSize = 0x8000;
    section.framesPerReset = frames;
    LzxEncoder lzx(section.windowSize);
    // Matches at offset 1 of 257 and of 8 bytes.
    const int elements[4] = {256 + (3 << 3 | 7), 256 + (3 << 3 | 6), 256 + 8, 256 + 16};
    // A block holds fewer than 16 MB: a new one every 511 frames.
    constexpr DWORD kFramesPerBlock = 511;
    lzx.TranslationHeader(0);
    for (DWORD frame = 0; frame < frames; ++frame) {
        if (frame % kFramesPerBlock == 0) {
            const DWORD left = frames - frame < kFramesPerBlock ? frames - frame : kFramesPerBlock;
            lzx.Compressed(left * 0x8000, false, elements);
        }
        lzx.Literals("x");
        for (int i = 0; i < 127; ++i)
            lzx.Match(0);
        for (int i = 0; i < 16; ++i)
            lzx.Match(1);
        section.frames.push_back(lzx.EndFrame());
    }
    return section;
}
