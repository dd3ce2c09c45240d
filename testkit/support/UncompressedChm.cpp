#include "support/UncompressedChm.h"

#include <stdexcept>

#include "support/ChmLayout.h"

namespace {
constexpr size_t kItsfLength = 0x60;
constexpr size_t kSectionZeroLength = 0x18;
constexpr size_t kItspLength = 0x54;
constexpr size_t kListingHeader = 0x14;

void AppendEncInt(std::string& out, unsigned long long value)
{
    std::string bytes(1, static_cast<char>(value & 0x7F));
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    out += bytes;
}
}  // namespace

std::string UncompressedChm(const std::vector<std::pair<std::string, std::string>>& streams)
{
    std::vector<ChmListedEntry> entries;
    for (const auto& stream : streams) {
        ChmListedEntry entry;
        entry.name = stream.first;
        entry.length = stream.second.size();
        entry.bytes = stream.second;
        entries.push_back(entry);
    }
    return ChmWithEntries(entries);
}

std::string ChmWithEntries(const std::vector<ChmListedEntry>& streams)
{
    std::string entries;
    std::string content;
    for (const auto& stream : streams) {
        AppendEncInt(entries, stream.name.size());
        entries += stream.name;
        AppendEncInt(entries, stream.section);
        AppendEncInt(entries, stream.section == 0 ? content.size() : stream.offset);
        AppendEncInt(entries, stream.section == 0 ? stream.bytes.size() : stream.length);
        if (stream.section == 0)
            content += stream.bytes;
    }
    DWORD chunkSize = 0x1000;
    while (chunkSize < kListingHeader + entries.size() + 2) {
        if (chunkSize == 0x10000)
            throw std::length_error("the directory does not fit one listing chunk");
        chunkSize *= 2;
    }

    const size_t directory = kItsfLength + kSectionZeroLength;
    const size_t directoryLength = kItspLength + chunkSize;
    const size_t contentStart = directory + directoryLength;
    std::string file(contentStart, '\0');
    file.replace(0, 4, "ITSF");
    PutDword(file, 4, 3);
    PutDword(file, 8, static_cast<DWORD>(kItsfLength));
    PutDword(file, 0x0C, 1);
    PutQword(file, 0x38, kItsfLength);
    PutQword(file, 0x40, kSectionZeroLength);
    PutQword(file, 0x48, directory);
    PutQword(file, 0x50, directoryLength);
    PutQword(file, 0x58, contentStart);

    file.replace(directory, 4, "ITSP");
    PutDword(file, directory + 4, 1);
    PutDword(file, directory + 8, static_cast<DWORD>(kItspLength));
    PutDword(file, directory + 0x0C, 0x0A);
    PutDword(file, directory + 0x10, chunkSize);
    PutDword(file, directory + 0x14, 2);
    PutDword(file, directory + 0x18, 1);
    PutDword(file, directory + 0x1C, 0xFFFFFFFF);  // no index chunk
    PutDword(file, directory + 0x20, 0);           // the first listing chunk
    PutDword(file, directory + 0x24, 0);           // and the last
    PutDword(file, directory + 0x28, 0xFFFFFFFF);
    PutDword(file, directory + 0x2C, 1);
    PutDword(file, directory + 0x44, static_cast<DWORD>(kItspLength));

    const size_t chunk = directory + kItspLength;
    file.replace(chunk, 4, "PMGL");
    PutDword(file, chunk + 4, static_cast<DWORD>(chunkSize - kListingHeader - entries.size()));
    PutDword(file, chunk + 0x0C, 0xFFFFFFFF);
    PutDword(file, chunk + 0x10, 0xFFFFFFFF);
    file.replace(chunk + kListingHeader, entries.size(), entries);
    file[chunk + chunkSize - 2] = static_cast<char>(streams.size() & 0xFF);
    file[chunk + chunkSize - 1] = static_cast<char>(streams.size() >> 8 & 0xFF);
    return file + content;
}
