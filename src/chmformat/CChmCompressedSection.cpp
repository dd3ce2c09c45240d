#include "chmformat/CChmCompressedSection.h"

#include <cstring>
#include <utility>
#include <vector>

#include "chmformat/CLzxDecoder.h"
#include "chmformat/ChmBytes.h"
#include "chmformat/ChmOffsets.h"

namespace {
constexpr ULONGLONG kMaxControlData = ChmControlData::kMaxSize;
constexpr ULONGLONG kMinControlData = ChmControlData::kMinSize;
constexpr ULONGLONG kResetTableHeader = ChmResetTable::kHeaderSize;
// Beyond any name list a compiler writes; it is read whole.
constexpr ULONGLONG kMaxNameList = 0x1000;
// Reset table entries read at once.
constexpr DWORD kEntriesPerRead = 512;
constexpr ULONGLONG kFrameSize = CLzxDecoder::kFrameSize;
constexpr ULONGLONG kMaxCompressedFrame = CLzxDecoder::kMaxCompressedFrame;

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

ChmFault CChmCompressedSection::Check(IChmByteSource& file, const CChmHeaders& headers,
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

ChmFault CChmCompressedSection::CheckNameList(IChmByteSource& file, const CChmHeaders& headers,
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

ChmFault CChmCompressedSection::CheckControlData(IChmByteSource& file, const CChmHeaders& headers,
                                                 const CChmDirectory::Entry& entry)
{
    // Wine's component reads the control data into a buffer of 0x100 bytes,
    // and takes its fields unset when it holds fewer than 0x18 (chm_lib.c);
    // what Windows' takes is unknown, so both limits hold for either.
    if (entry.length < kMinControlData || entry.length > kMaxControlData)
        return ChmFault::ControlData;
    BYTE data[kMinControlData];
    if (!file.ReadAt(headers.ContentOffset() + entry.offset, data, static_cast<DWORD>(kMinControlData)))
        return ChmFault::Unreadable;
    const DWORD version = ChmDword(data + ChmControlData::kVersion);
    DWORD resetInterval = ChmDword(data + ChmControlData::kResetInterval);
    DWORD window = ChmDword(data + ChmControlData::kWindowSize);
    const DWORD windowsPerReset = ChmDword(data + ChmControlData::kWindowsPerReset);
    // Version 2 counts in frames; the component multiplies in 32 bits, then
    // divides by half the window as it opens the file, whatever else it
    // thinks of the data.
    if (version == 2) {
        resetInterval *= CLzxDecoder::kFrameSize;
        window *= CLzxDecoder::kFrameSize;
    }
    if (window / 2 == 0)
        return ChmFault::ControlData;

    // From here on, data the component cannot decode with leaves the section
    // unread, not the file: it turns compression off, or would divide by zero
    // at the first frame (the frames between resets, counted in 32 bits).
    // LZX windows are 32 KB to 2 MB, powers of two.
    const DWORD framesPerReset = resetInterval / (window / 2) * windowsPerReset;
    m_decodable = memcmp(data + ChmControlData::kSignature, "LZXC", 4) == 0 && (version == 1 || version == 2) &&
                  window >= 0x8000 && window <= 0x200000 && (window & (window - 1)) == 0 && resetInterval != 0 &&
                  resetInterval % (window / 2) == 0 && framesPerReset != 0;
    m_window = window;
    m_framesPerReset = framesPerReset;
    return ChmFault::None;
}

ChmFault CChmCompressedSection::CheckResetTable(IChmByteSource& file, const CChmHeaders& headers,
                                                const CChmDirectory& directory)
{
    const CChmDirectory::Entry& table = directory.ResetTable();
    if (!m_frames)
        return ChmFault::None;
    m_frames->decodable = false;
    m_frames->frameStarts.clear();
    m_frames->windowSize = m_window;
    m_frames->framesPerReset = m_framesPerReset;
    m_frames->contentStart = headers.ContentOffset() + directory.Content().offset;
    // A table shorter than its header, or of another version, turns the
    // component's compression off.
    if (!m_decodable || table.length < kResetTableHeader)
        return ChmFault::None;
    const ULONGLONG tableStart = headers.ContentOffset() + table.offset;
    BYTE header[kResetTableHeader];
    if (!file.ReadAt(tableStart, header, static_cast<DWORD>(kResetTableHeader)))
        return ChmFault::Unreadable;
    const ULONGLONG entries = ChmDword(header + ChmResetTable::kEntryCount);
    const ULONGLONG entriesStart = tableStart + ChmDword(header + ChmResetTable::kTableOffset);
    const ULONGLONG uncompressed = ChmQword(header + ChmResetTable::kUncompressedLength);
    const ULONGLONG compressed = ChmQword(header + ChmResetTable::kCompressedLength);
    // The component reads entries of 8 bytes, whatever size the table gives
    // them: it would decode a table of another size badly. It decodes frames
    // of the table's frame size, and divides by it: 32 KB is what LZX writes.
    if (ChmDword(header + ChmResetTable::kVersion) != 2 || ChmDword(header + ChmResetTable::kEntrySize) != 8 ||
        ChmQword(header + ChmResetTable::kFrameSize) != kFrameSize)
        return ChmFault::None;

    // Frame n begins at entry n and ends at entry n + 1, or at the compressed
    // length for the table's last entry. A frame whose entries lie outside the
    // file cannot be found; past the table, neither can the frames after it.
    const ULONGLONG frames = uncompressed / kFrameSize + (uncompressed % kFrameSize != 0);
    const ULONGLONG inFile = entriesStart < file.Size() ? (file.Size() - entriesStart) / 8 : 0;
    const ULONGLONG readable = entries < inFile ? entries : inFile;
    ULONGLONG usable = frames < entries ? frames : entries;
    if (usable > readable)
        usable = readable;
    if (usable != 0 && usable < entries && usable == readable)
        --usable;  // its end lies in an entry the file does not hold
    std::vector<ULONGLONG> starts;
    try {
        starts.reserve(static_cast<size_t>(usable + 1));
    } catch (...) {
        return ChmFault::Unreadable;
    }
    const ULONGLONG wanted = usable < entries ? usable + 1 : usable;
    BYTE block[kEntriesPerRead * 8];
    for (ULONGLONG first = 0; first < wanted; first += kEntriesPerRead) {
        const DWORD batch = static_cast<DWORD>(wanted - first < kEntriesPerRead ? wanted - first : kEntriesPerRead);
        if (!file.ReadAt(entriesStart + first * 8, block, batch * 8))
            return ChmFault::Unreadable;
        for (DWORD k = 0; k < batch; ++k)
            starts.push_back(ChmQword(block + 8 * k));
    }
    if (usable == entries)
        starts.push_back(compressed);
    m_frames->frameStarts = std::move(starts);
    m_frames->decodable = usable != 0;
    return ChmFault::None;
}
