#include "ChmChunkRewrite.h"

#include <vector>

#include "ChmLayout.h"

void NameFirstListingChunk(std::string& bytes, LONG chunk)
{
    PutDword(bytes, ChmLayout(bytes).directoryHeader + ChmItsp::kFirstListing, static_cast<DWORD>(chunk));
}

void PutIndexChunksFirst(std::string& bytes)
{
    const ChmLayout layout(bytes);
    std::vector<DWORD> order = layout.indexChunks;
    order.insert(order.end(), layout.listingChunks.begin(), layout.listingChunks.end());
    std::vector<LONG> moved(layout.chunkCount, -1);
    for (DWORD now = 0; now < order.size(); ++now)
        moved[order[now]] = static_cast<LONG>(now);
    auto renumbered = [&](LONG chunk) {
        return chunk < 0 || static_cast<DWORD>(chunk) >= moved.size() ? chunk : moved[static_cast<DWORD>(chunk)];
    };

    const std::string before = bytes;
    for (DWORD now = 0; now < order.size(); ++now)
        bytes.replace(layout.Chunk(now), layout.chunkSize, before, layout.Chunk(order[now]), layout.chunkSize);
    for (const auto& chunk : layout.links) {
        const size_t at = layout.Chunk(static_cast<DWORD>(moved[chunk.first]));
        PutDword(bytes, at + ChmListingChunk::kPrevious, static_cast<DWORD>(renumbered(chunk.second.previous)));
        PutDword(bytes, at + ChmListingChunk::kNext, static_cast<DWORD>(renumbered(chunk.second.next)));
    }
    for (const auto& entry : layout.index) {
        ChmLayout::Field child = entry.child;
        child.pos = child.pos - layout.Chunk(entry.chunk) + layout.Chunk(static_cast<DWORD>(moved[entry.chunk]));
        PutEncInt(bytes, child, static_cast<ULONGLONG>(renumbered(static_cast<LONG>(child.value))));
    }
    for (const size_t field : {ChmItsp::kIndexRoot, ChmItsp::kFirstListing, ChmItsp::kLastListing}) {
        const size_t at = layout.directoryHeader + field;
        PutDword(bytes, at, static_cast<DWORD>(renumbered(static_cast<LONG>(GetDword(bytes, at)))));
    }
}
