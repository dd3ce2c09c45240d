#include "chmformat/CChmCompressedSection.h"

#include <cstring>
#include <utility>
#include <vector>

#include "chmformat/CLzxFrameCheck.h"
#include "chmformat/ChmBytes.h"

namespace {
// The storage component reads the control data into a buffer of this size.
constexpr ULONGLONG kMaxControlData = 0x100;
constexpr ULONGLONG kMinControlData = 0x18;
constexpr ULONGLONG kResetTableHeader = 0x28;
// Beyond any name list a compiler writes; it is read whole.
constexpr ULONGLONG kMaxNameList = 0x1000;
// Reset table entries read at once.
constexpr DWORD kEntriesPerRead = 512;
constexpr ULONGLONG kFrameSize = CLzxFrameCheck::kFrameSize;
constexpr ULONGLONG kMaxCompressedFrame = CLzxFrameCheck::kMaxCompressedFrame;

bool SectionName(const BYTE* data, ULONGLONG length, ULONGLONG& pos, const char* want)
{
    if (length - pos < 2)
        return false;
    const ULONGLONG chars = ChmWord(data + pos);
    pos += 2;
    // The name's characters, then a terminating zero.
    if (chars > (length - pos) / 2 || (length - pos) / 2 - chars < 1)
        return false;
    const size_t wantLength = strlen(want);
    bool same = chars == wantLength;
    for (ULONGLONG i = 0; same && i < chars; ++i)
        same = ChmWord(data + pos + 2 * i) == static_cast<BYTE>(want[i]);
    pos += 2 * chars;
    same = same && ChmWord(data + pos) == 0;
    pos += 2;
    return same;
}
}

ChmFault CChmCompressedSection::Check(CBoundedFileReader& file, const CChmHeaders& headers,
                                      const CChmDirectory& directory, ChmFrameTable* frames)
{
    m_frames = frames;
    const CChmDirectory::Entry* own[] = {&directory.ControlData(), &directory.ResetTable(), &directory.Content()};
    bool any = directory.CompressedUsed();
    for (const CChmDirectory::Entry* entry : own)
        any = any || entry->present;
    if (directory.NameList().present || directory.CompressedUsed()) {
        const ChmFault fault = CheckNameList(file, headers, directory.NameList(), directory.CompressedUsed());
        if (fault != ChmFault::None)
            return fault;
    }
    if (!any)
        return ChmFault::None;
    // The component decompresses with all three or not at all; a file that has
    // some of them, or has them compressed, is damaged.
    for (const CChmDirectory::Entry* entry : own) {
        if (!entry->present || entry->section != 0)
            return ChmFault::SectionEntry;
    }
    const ChmFault fault = CheckControlData(file, headers, directory.ControlData());
    if (fault != ChmFault::None)
        return fault;
    return CheckResetTable(file, headers, directory);
}

ChmFault CChmCompressedSection::CheckNameList(CBoundedFileReader& file, const CChmHeaders& headers,
                                              const CChmDirectory::Entry& entry, bool compressedUsed) const
{
    if (!entry.present || entry.section != 0 || entry.length < 4 || entry.length > kMaxNameList)
        return ChmFault::NameList;
    BYTE data[kMaxNameList];
    const ULONGLONG length = entry.length;
    if (!file.ReadAt(headers.ContentOffset() + entry.offset, data, static_cast<DWORD>(length)))
        return ChmFault::Unreadable;
    const WORD count = ChmWord(data + 2);
    if (count < (compressedUsed ? 2 : 1))
        return ChmFault::NameList;
    // Section 0 is stored as it is, section 1 compressed with LZX; the
    // component knows no others.
    ULONGLONG pos = 4;
    if (!SectionName(data, length, pos, "Uncompressed"))
        return ChmFault::NameList;
    if (count >= 2 && !SectionName(data, length, pos, "MSCompressed"))
        return ChmFault::NameList;
    return ChmFault::None;
}

ChmFault CChmCompressedSection::CheckControlData(CBoundedFileReader& file, const CChmHeaders& headers,
                                                 const CChmDirectory::Entry& entry)
{
    if (entry.length < kMinControlData || entry.length > kMaxControlData)
        return ChmFault::ControlData;
    BYTE data[kMinControlData];
    if (!file.ReadAt(headers.ContentOffset() + entry.offset, data, static_cast<DWORD>(kMinControlData)))
        return ChmFault::Unreadable;
    const DWORD version = ChmDword(data + 8);
    ULONGLONG resetInterval = ChmDword(data + 0x0C);
    ULONGLONG window = ChmDword(data + 0x10);
    const ULONGLONG windowsPerReset = ChmDword(data + 0x14);
    if (memcmp(data + 4, "LZXC", 4) != 0 || (version != 1 && version != 2))
        return ChmFault::ControlData;
    // Version 2 counts in frames; the component multiplies in 32 bits.
    if (version == 2) {
        resetInterval *= kFrameSize;
        window *= kFrameSize;
        if (resetInterval > 0xFFFFFFFFull || window > 0xFFFFFFFFull)
            return ChmFault::ControlData;
    }
    // LZX windows are 32 KB to 2 MB, powers of two.
    if (window < 0x8000 || window > 0x200000 || (window & (window - 1)) != 0)
        return ChmFault::ControlData;
    // The component divides by the frames between resets, worked out in 32 bits.
    if (resetInterval == 0 || resetInterval % (window / 2) != 0 || windowsPerReset == 0)
        return ChmFault::ControlData;
    const ULONGLONG framesPerReset = resetInterval / (window / 2) * windowsPerReset;
    if (framesPerReset > 0xFFFFFFFFull)
        return ChmFault::ControlData;
    m_window = static_cast<DWORD>(window);
    m_framesPerReset = static_cast<DWORD>(framesPerReset);
    return ChmFault::None;
}

ChmFault CChmCompressedSection::CheckResetTable(CBoundedFileReader& file, const CChmHeaders& headers,
                                                const CChmDirectory& directory)
{
    const CChmDirectory::Entry& table = directory.ResetTable();
    const CChmDirectory::Entry& content = directory.Content();
    if (table.length < kResetTableHeader)
        return ChmFault::ResetTable;
    const ULONGLONG tableStart = headers.ContentOffset() + table.offset;
    BYTE header[kResetTableHeader];
    if (!file.ReadAt(tableStart, header, static_cast<DWORD>(kResetTableHeader)))
        return ChmFault::Unreadable;
    const ULONGLONG entries = ChmDword(header + 4);
    const ULONGLONG entriesOffset = ChmDword(header + 0x0C);
    const ULONGLONG uncompressed = ChmQword(header + 0x10);
    const ULONGLONG compressed = ChmQword(header + 0x18);
    if (ChmDword(header) != 2 || ChmDword(header + 8) != 8 || ChmQword(header + 0x20) != kFrameSize ||
        entriesOffset < kResetTableHeader || !ChmInside(entriesOffset, entries * 8, table.length))
        return ChmFault::ResetTable;
    if (compressed > content.length || uncompressed > 0x7FFFFFFFFFFFFFFFull)
        return ChmFault::ResetTable;
    // One entry per frame; some compilers add one more, at the compressed
    // length, where the next frame would begin.
    const ULONGLONG frames = (uncompressed + kFrameSize - 1) / kFrameSize;
    if (entries != frames && entries != frames + 1)
        return ChmFault::ResetTable;
    if (directory.CompressedEnd() > uncompressed)
        return ChmFault::EntryBounds;

    // Each frame starts where the last ended and takes at least one byte and
    // no more than the component's buffer holds.
    std::vector<ULONGLONG> starts;
    if (m_frames) {
        try {
            starts.reserve(static_cast<size_t>(frames + 1));
        } catch (...) {
            return ChmFault::Unreadable;
        }
    }
    BYTE block[kEntriesPerRead * 8];
    ULONGLONG previous = 0;
    for (ULONGLONG first = 0; first < entries; first += kEntriesPerRead) {
        const DWORD batch = static_cast<DWORD>(entries - first < kEntriesPerRead ? entries - first : kEntriesPerRead);
        if (!file.ReadAt(tableStart + entriesOffset + first * 8, block, batch * 8))
            return ChmFault::Unreadable;
        for (DWORD k = 0; k < batch; ++k) {
            const ULONGLONG start = ChmQword(block + 8 * k);
            const ULONGLONG index = first + k;
            if (index == 0) {
                if (start != 0)
                    return ChmFault::ResetTable;
            } else if (start <= previous || start - previous > kMaxCompressedFrame) {
                return ChmFault::ResetTable;
            }
            if (index == frames) {
                // The extra entry marks the end.
                if (start != compressed)
                    return ChmFault::ResetTable;
            } else if (start >= compressed) {
                return ChmFault::ResetTable;
            }
            if (m_frames && index < frames)
                starts.push_back(start);
            previous = start;
        }
    }
    if (entries == frames && frames != 0 && compressed - previous > kMaxCompressedFrame)
        return ChmFault::ResetTable;
    if (m_frames) {
        try {
            starts.push_back(compressed);
        } catch (...) {
            return ChmFault::Unreadable;
        }
        m_frames->contentStart = headers.ContentOffset() + directory.Content().offset;
        m_frames->frameStarts = std::move(starts);
        m_frames->windowSize = m_window;
        m_frames->framesPerReset = m_framesPerReset;
    }
    return ChmFault::None;
}
