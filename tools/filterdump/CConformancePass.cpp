#include "CConformancePass.h"

#include <filterr.h>
#include <propidl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

#include "CConformanceTally.h"
#include "ConformanceValue.h"
#include "DescribeResult.h"
#include "PropertyNames.h"

namespace {
constexpr ULONG kLargeBuffer = 4096;
// Characters past the end of each buffer, to see a filter write beyond it.
constexpr size_t kGuard = 8;
constexpr WCHAR kSentinel = 0xFDFD;
// Guards against a filter that never ends a pass, a chunk or its text.
constexpr size_t kMaxChunks = 10000000;
constexpr unsigned kMaxSkipped = 100000;
constexpr size_t kMaxChunkText = 64 * 1024 * 1024;
constexpr unsigned kMaxEmptyReads = 1000;

struct ValueFree {
    void operator()(PROPVARIANT* value) const
    {
        PropVariantClear(value);
        CoTaskMemFree(value);
    }
};
using OwnedValue = std::unique_ptr<PROPVARIANT, ValueFree>;

HRESULT GetValue(IFilter* filter, OwnedValue& value)
{
    PROPVARIANT* raw = nullptr;
    const HRESULT hr = filter->GetValue(&raw);
    // What a failed call leaves there is not ours to free.
    value.reset(hr == S_OK ? raw : nullptr);
    return hr;
}

std::string Nth(size_t n)
{
    const char* const suffixes[] = {"th", "st", "nd", "rd"};
    const size_t last = n % 10;
    const bool teen = n % 100 >= 11 && n % 100 <= 13;
    return std::to_string(n) + suffixes[!teen && last <= 3 ? last : 0];
}

// How many more times each kind asks for the end of a text or of the values
// after the filter first answered it.
unsigned EndRepeats(CConformancePass::Kind kind)
{
    switch (kind) {
    case CConformancePass::Kind::Validation: return 1;
    case CConformancePass::Kind::InvalidInput: return 3;
    default: return 0;
    }
}
}

const char* CConformancePass::Name(Kind kind)
{
    switch (kind) {
    case Kind::Validation: return "validation";
    case Kind::Consistency: return "consistency";
    case Kind::InvalidInput: return "invalid input";
    case Kind::Plain: return "read";
    }
    return "";
}

void CConformancePass::Check(bool passed, const std::string& position, const char* condition,
                             const std::string& detail)
{
    if (m_tally)
        m_tally->Check(passed, Name(m_kind), position, condition, detail);
}

ConformanceRead CConformancePass::Read(IFilter* filter)
{
    ConformanceRead read;
    unsigned skipped = 0;
    for (;;) {
        const size_t index = read.chunks.size();
        const std::string after =
            index == 0 ? "before the first chunk" : "after " + ChunkPosition(read.chunks.back(), index - 1);
        if (index >= kMaxChunks) {
            Check(false, after, "end of chunks", "no end after " + std::to_string(kMaxChunks) + " chunks");
            read.end = E_ABORT;
            break;
        }
        ConformanceChunk chunk;
        const HRESULT hr = filter->GetChunk(&chunk.stat);
        if (hr == FILTER_E_END_OF_CHUNKS) {
            read.end = hr;
            break;
        }
        if (hr == FILTER_E_EMBEDDING_UNAVAILABLE || hr == FILTER_E_LINK_UNAVAILABLE) {
            // The host steps past it to the next chunk.
            chunk = ConformanceChunk{};
            chunk.answer = hr;
            if (++skipped > kMaxSkipped) {
                Check(false, after, "GetChunk answer", "keeps answering " + DescribeResult(hr));
                read.end = hr;
                break;
            }
            ReadChunk(filter, chunk, index);
            read.chunks.push_back(std::move(chunk));
            continue;
        }
        skipped = 0;
        if (hr != S_OK) {
            // A locked or unreadable document ends the pass; anything else breaks the contract.
            Check(hr == FILTER_E_PASSWORD || hr == FILTER_E_ACCESS, after, "GetChunk answer", DescribeResult(hr));
            read.end = hr;
            break;
        }
        // A property's name belongs to the filter and lives only until its next call.
        PROPSPEC& property = chunk.stat.attribute.psProperty;
        if (property.ulKind == PRSPEC_LPWSTR) {
            if (property.lpwstr)
                chunk.propertyName = property.lpwstr;
            property.lpwstr = nullptr;
        }
        ReadChunk(filter, chunk, index);
        read.chunks.push_back(std::move(chunk));
    }

    if (m_reference) {
        const std::string difference = ReadDifference(*m_reference, read);
        Check(difference.empty(), "end", "same chunk count", difference);
    }
    if (m_kind == Kind::InvalidInput && read.end == FILTER_E_END_OF_CHUNKS) {
        std::string problem;
        for (unsigned i = 1; i <= 3 && problem.empty(); ++i) {
            STAT_CHUNK stat{};
            const HRESULT hr = filter->GetChunk(&stat);
            if (hr != FILTER_E_END_OF_CHUNKS)
                problem = "the " + Nth(i) + " GetChunk after FILTER_E_END_OF_CHUNKS answered " + DescribeResult(hr);
        }
        Check(problem.empty(), "end", "end of chunks", problem);
    }
    return read;
}

void CConformancePass::ReadChunk(IFilter* filter, ConformanceChunk& chunk, size_t index)
{
    const std::string position = ChunkPosition(chunk, index);
    const ConformanceChunk* want =
        m_reference && index < m_reference->chunks.size() ? &m_reference->chunks[index] : nullptr;
    Check(true, position, "GetChunk answer", {});
    if (m_kind == Kind::Validation && chunk.answer == S_OK)
        ValidateFields(chunk, position);
    if (m_kind == Kind::Consistency || m_kind == Kind::InvalidInput) {
        const std::string difference =
            want ? ChunkDifference(*want, chunk, false, false) : "validation had ended before this chunk";
        Check(difference.empty(), position, "same chunk", difference);
    }
    if (chunk.answer != S_OK)
        return;
    if (chunk.stat.flags & CHUNK_TEXT) {
        ReadText(filter, chunk, want, position);
        m_textIds.push_back(chunk.stat.idChunk);
    }
    if (chunk.stat.flags & CHUNK_VALUE)
        ReadValue(filter, chunk, want, position);
}

void CConformancePass::ValidateFields(const ConformanceChunk& chunk, const std::string& position)
{
    const STAT_CHUNK& stat = chunk.stat;
    std::string problem;
    if (stat.idChunk == 0)
        problem = "idChunk 0";
    else if (m_previousId != 0 && stat.idChunk <= m_previousId)
        problem = "idChunk " + std::to_string(stat.idChunk) + " after " + std::to_string(m_previousId);
    Check(problem.empty(), position, "chunk id", problem);
    if (stat.idChunk != 0)
        m_previousId = stat.idChunk;

    Check(stat.flags == CHUNK_TEXT || stat.flags == CHUNK_VALUE, position, "flags",
          "flags " + std::to_string(static_cast<unsigned long>(stat.flags)) + ", neither CHUNK_TEXT nor CHUNK_VALUE");
    Check(static_cast<unsigned long>(stat.breakType) <= CHUNK_EOC, position, "break type",
          "breakType " + std::to_string(static_cast<unsigned long>(stat.breakType)));

    // A text chunk is its own source; a value is its own, has none (0), or was
    // taken from a text chunk already given.
    bool legal = stat.idChunkSource == stat.idChunk;
    if (!legal && stat.flags == CHUNK_VALUE)
        legal = stat.idChunkSource == 0 ||
                std::find(m_textIds.begin(), m_textIds.end(), stat.idChunkSource) != m_textIds.end();
    Check(legal, position, "chunk source",
          "idChunkSource " + std::to_string(stat.idChunkSource) +
              (stat.flags == CHUNK_VALUE ? " names no text chunk given before" : " differs from idChunk"));
}

void CConformancePass::ReadText(IFilter* filter, ConformanceChunk& chunk, const ConformanceChunk* want,
                                const std::string& position)
{
    if (m_kind == Kind::InvalidInput) {
        OwnedValue value;
        const HRESULT hr = GetValue(filter, value);
        Check(hr == FILTER_E_NO_VALUES, position, "GetValue on a text chunk", "answered " + DescribeResult(hr));
    }

    std::string badAnswer;
    std::string overrun;
    std::string badEnd;
    bool ended = false;
    std::vector<WCHAR> buffer;
    unsigned empty = 0;
    for (size_t call = 1;; ++call) {
        // Consistency cycles through buffers of 1 to 7 characters.
        const ULONG size = m_kind == Kind::Consistency ? static_cast<ULONG>(1 + (call - 1) % 7) : kLargeBuffer;
        buffer.assign(size + kGuard, kSentinel);
        ULONG count = size;
        HRESULT hr = filter->GetText(&count, buffer.data());
        if (hr == FILTER_E_NO_MORE_TEXT) {
            ended = true;
            break;
        }
        if (hr != S_OK && hr != FILTER_S_LAST_TEXT) {
            badAnswer = "the " + Nth(call) + " GetText answered " + DescribeResult(hr);
            break;
        }
        if (count > size) {
            overrun = "GetText claimed " + std::to_string(count) + " characters of a buffer of " + std::to_string(size);
            break;
        }
        if (std::any_of(buffer.begin() + size, buffer.end(), [](WCHAR c) { return c != kSentinel; })) {
            overrun = "GetText wrote past a buffer of " + std::to_string(size) + " characters";
            break;
        }
        chunk.text.append(buffer.data(), count);
        if (chunk.text.size() > kMaxChunkText) {
            badAnswer = "the text does not end within " + std::to_string(kMaxChunkText) + " characters";
            break;
        }
        if (hr == FILTER_S_LAST_TEXT) {
            count = size;
            buffer.assign(size + kGuard, kSentinel);
            hr = filter->GetText(&count, buffer.data());
            if (hr == FILTER_E_NO_MORE_TEXT)
                ended = true;
            else
                badEnd = "GetText answered " + DescribeResult(hr) + " after FILTER_S_LAST_TEXT";
            break;
        }
        if (count == 0 && ++empty > kMaxEmptyReads) {
            badAnswer = "GetText gave no characters " + std::to_string(kMaxEmptyReads) + " times in a row";
            break;
        }
    }
    for (unsigned i = 1; ended && badEnd.empty() && i <= EndRepeats(m_kind); ++i) {
        ULONG count = kLargeBuffer;
        buffer.assign(kLargeBuffer + kGuard, kSentinel);
        const HRESULT hr = filter->GetText(&count, buffer.data());
        if (hr != FILTER_E_NO_MORE_TEXT)
            badEnd = "the " + Nth(i) + " GetText after FILTER_E_NO_MORE_TEXT answered " + DescribeResult(hr);
    }

    const bool endChecked = ended || !badEnd.empty();
    switch (m_kind) {
    case Kind::Validation:
        Check(badAnswer.empty(), position, "GetText answers", badAnswer);
        Check(overrun.empty(), position, "GetText within buffer", overrun);
        if (endChecked)
            Check(badEnd.empty(), position, "end of text", badEnd);
        break;
    case Kind::Consistency:
        Check(badAnswer.empty(), position, "GetText answers", badAnswer);
        Check(overrun.empty(), position, "GetText within buffer", overrun);
        // A reading cut short is reported above, not again as another text.
        if (want && badAnswer.empty() && overrun.empty())
            Check(want->text == chunk.text, position, "same text through buffers of 1 to 7",
                  TextDifference(want->text, chunk.text));
        break;
    case Kind::InvalidInput: {
        std::string problem = !badAnswer.empty() ? badAnswer : overrun;
        if (problem.empty() && want)
            problem = TextDifference(want->text, chunk.text);
        Check(problem.empty(), position, "text after the wrong call", problem);
        if (endChecked)
            Check(badEnd.empty(), position, "end of text", badEnd);
        break;
    }
    case Kind::Plain:
        break;
    }
}

void CConformancePass::ReadValue(IFilter* filter, ConformanceChunk& chunk, const ConformanceChunk* want,
                                 const std::string& position)
{
    if (m_kind == Kind::InvalidInput) {
        std::vector<WCHAR> buffer(kLargeBuffer);
        ULONG count = kLargeBuffer;
        const HRESULT hr = filter->GetText(&count, buffer.data());
        Check(hr == FILTER_E_NO_TEXT, position, "GetText on a value chunk", "answered " + DescribeResult(hr));
    }

    std::string badAnswer;
    std::string badType;
    std::string badEnd;
    bool ended = false;
    OwnedValue value;
    HRESULT hr = GetValue(filter, value);
    if (hr == S_OK) {
        if (!value) {
            badAnswer = "GetValue answered S_OK with no value";
        } else {
            chunk.hasValue = true;
            chunk.value = ValueText(*value);
            IsLegalValue(*value, badType);
            // One value per chunk; after it, the end of the values.
            OwnedValue another;
            hr = GetValue(filter, another);
            if (hr == FILTER_E_NO_MORE_VALUES)
                ended = true;
            else
                badAnswer = "the 2nd GetValue answered " + DescribeResult(hr) + ", not FILTER_E_NO_MORE_VALUES";
        }
    } else if (hr == FILTER_E_NO_MORE_VALUES) {
        ended = true;
    } else {
        badAnswer = "GetValue answered " + DescribeResult(hr);
    }
    for (unsigned i = 1; ended && badEnd.empty() && i <= EndRepeats(m_kind); ++i) {
        OwnedValue more;
        hr = GetValue(filter, more);
        if (hr != FILTER_E_NO_MORE_VALUES)
            badEnd = "the " + Nth(i) + " GetValue after FILTER_E_NO_MORE_VALUES answered " + DescribeResult(hr);
    }

    const std::string valueDifference = want ? ValueDifference(*want, chunk) : std::string();
    switch (m_kind) {
    case Kind::Validation:
        Check(badAnswer.empty(), position, "GetValue answers", badAnswer);
        if (chunk.hasValue)
            Check(badType.empty(), position, "value type", badType);
        if (ended)
            Check(badEnd.empty(), position, "end of values", badEnd);
        break;
    case Kind::Consistency:
        Check(badAnswer.empty(), position, "GetValue answers", badAnswer);
        if (want)
            Check(valueDifference.empty(), position, "same value", valueDifference);
        break;
    case Kind::InvalidInput:
        Check(badAnswer.empty() && valueDifference.empty(), position, "value after the wrong call",
              badAnswer.empty() ? valueDifference : badAnswer);
        if (ended)
            Check(badEnd.empty(), position, "end of values", badEnd);
        break;
    case Kind::Plain:
        break;
    }
}
