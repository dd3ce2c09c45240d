#include "ReadChunks.h"

#include <filterr.h>
#include <propidl.h>

#include "DescribeResult.h"
#include "ExitCodes.h"
#include "ValueJson.h"

namespace {
constexpr GUID kSummaryPropSet = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr PROPID kTitlePropId = 2;

// Guards against a filter that never ends a chunk's text.
constexpr size_t kMaxChunkText = 64 * 1024 * 1024;
constexpr unsigned kMaxEmptyReads = 1000;
constexpr unsigned kMaxRetries = 100000;

int Failed(FileSummary& summary, const std::string& reason)
{
    summary.reason = reason;
    return kExitFilterFailed;
}

std::string AfterChunk(const FileSummary& summary)
{
    return summary.chunks == 0 ? "before the first chunk" : "after chunk " + std::to_string(summary.chunks);
}
}

int ReadChunks(IFilter* filter, FileSummary& summary, const std::function<void(const ChunkRecord&)>& onChunk)
{
    const ULONG flags = IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_HARD_LINE_BREAKS |
                        IFILTER_INIT_CANON_HYPHENS | IFILTER_INIT_CANON_SPACES |
                        IFILTER_INIT_APPLY_INDEX_ATTRIBUTES | IFILTER_INIT_APPLY_OTHER_ATTRIBUTES |
                        IFILTER_INIT_INDEXING_ONLY;
    ULONG filterFlags = 0;
    HRESULT hr = filter->Init(flags, 0, nullptr, &filterFlags);
    if (FAILED(hr))
        return Failed(summary, "Init failed: " + DescribeResult(hr));

    unsigned retries = 0;
    for (;;) {
        ChunkRecord record;
        hr = filter->GetChunk(&record.stat);
        if (hr == FILTER_E_END_OF_CHUNKS)
            break;
        if (hr == FILTER_E_EMBEDDING_UNAVAILABLE || hr == FILTER_E_LINK_UNAVAILABLE) {
            // The filter skipped an embedded object or link and asks to go on.
            if (++retries > kMaxRetries)
                return Failed(summary, "GetChunk keeps reporting unavailable embeddings " + AfterChunk(summary));
            continue;
        }
        if (FAILED(hr))
            return Failed(summary, "GetChunk failed " + AfterChunk(summary) + ": " + DescribeResult(hr));
        retries = 0;
        // A property name belongs to the filter and lives only until its next call.
        if (record.stat.attribute.psProperty.ulKind == PRSPEC_LPWSTR) {
            if (record.stat.attribute.psProperty.lpwstr)
                record.propertyName = record.stat.attribute.psProperty.lpwstr;
            record.stat.attribute.psProperty.lpwstr = nullptr;
        }
        ++summary.chunks;
        if (record.stat.breakType == CHUNK_EOC)
            ++summary.chapters;

        if (record.stat.flags & CHUNK_TEXT) {
            ++summary.textChunks;
            WCHAR buffer[4096];
            unsigned empty = 0;
            for (;;) {
                ULONG count = sizeof(buffer) / sizeof(buffer[0]);
                hr = filter->GetText(&count, buffer);
                if (hr == FILTER_E_NO_MORE_TEXT)
                    break;
                if (FAILED(hr))
                    return Failed(summary, "GetText failed on chunk " + std::to_string(record.stat.idChunk) + ": " +
                                               DescribeResult(hr));
                if (count > sizeof(buffer) / sizeof(buffer[0]))
                    return Failed(summary, "GetText claims more characters than the buffer holds");
                record.text.append(buffer, count);
                if (record.text.size() > kMaxChunkText)
                    return Failed(summary, "chunk " + std::to_string(record.stat.idChunk) + " never ends its text");
                if (hr == FILTER_S_LAST_TEXT)
                    break;
                if (count == 0 && ++empty > kMaxEmptyReads)
                    return Failed(summary, "GetText makes no progress on chunk " + std::to_string(record.stat.idChunk));
            }
            summary.characters += record.text.size();
        }
        if (record.stat.flags & CHUNK_VALUE) {
            ++summary.valueChunks;
            PROPVARIANT* value = nullptr;
            hr = filter->GetValue(&value);
            if (hr == S_OK && value) {
                record.hasValue = true;
                record.value = ValueJson(*value, record.valueType);
                const bool isTitle = record.stat.attribute.guidPropSet == kSummaryPropSet &&
                                     record.stat.attribute.psProperty.ulKind == PRSPEC_PROPID &&
                                     record.stat.attribute.psProperty.propid == kTitlePropId &&
                                     value->vt == VT_LPWSTR;
                if (isTitle && !summary.haveTitle) {
                    summary.title = value->pwszVal ? value->pwszVal : L"";
                    summary.haveTitle = true;
                }
                PropVariantClear(value);
                CoTaskMemFree(value);
            } else if (hr != FILTER_E_NO_VALUES && hr != FILTER_E_NO_MORE_VALUES && FAILED(hr)) {
                return Failed(summary, "GetValue failed on chunk " + std::to_string(record.stat.idChunk) + ": " +
                                           DescribeResult(hr));
            }
        }
        onChunk(record);
    }
    if (summary.chunks == 0) {
        summary.reason = "the filter gave no chunks: nothing would be indexed";
        return kExitNoChunks;
    }
    return kExitOk;
}
