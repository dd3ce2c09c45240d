#include "ConformanceChunk.h"

#include <filterr.h>

#include "DescribeResult.h"
#include "PropertyNames.h"
#include "Utf8.h"

namespace {
// The first characters of a text where two texts part, for a one-line report.
std::string Around(const std::wstring& text, size_t at)
{
    const size_t from = at > 10 ? at - 10 : 0;
    std::wstring part = text.substr(from, 30);
    for (auto& c : part) {
        if (c < 0x20)
            c = L' ';
    }
    return "\"" + ToUtf8(part) + "\"";
}

std::string Shown(const std::string& value)
{
    return value.size() > 60 ? value.substr(0, 57) + "..." : value;
}

std::string StatDifference(const ConformanceChunk& want, const ConformanceChunk& got)
{
    const STAT_CHUNK& a = want.stat;
    const STAT_CHUNK& b = got.stat;
    auto field = [](const char* name, unsigned long x, unsigned long y) {
        return std::string(name) + " " + std::to_string(y) + " where it was " + std::to_string(x);
    };
    if (a.idChunk != b.idChunk)
        return field("idChunk", a.idChunk, b.idChunk);
    if (a.breakType != b.breakType)
        return "breakType " + BreakTypeName(b.breakType) + " where it was " + BreakTypeName(a.breakType);
    if (a.flags != b.flags)
        return field("flags", a.flags, b.flags);
    if (a.locale != b.locale)
        return field("locale", a.locale, b.locale);
    if (a.attribute.guidPropSet != b.attribute.guidPropSet || a.attribute.psProperty.ulKind != b.attribute.psProperty.ulKind ||
        (a.attribute.psProperty.ulKind == PRSPEC_PROPID && a.attribute.psProperty.propid != b.attribute.psProperty.propid) ||
        (a.attribute.psProperty.ulKind == PRSPEC_LPWSTR && want.propertyName != got.propertyName))
        return "attribute " + PropertySetName(b.attribute.guidPropSet) + " " + PropertyName(b.attribute, got.propertyName) +
               " where it was " + PropertySetName(a.attribute.guidPropSet) + " " +
               PropertyName(a.attribute, want.propertyName);
    if (a.idChunkSource != b.idChunkSource)
        return field("idChunkSource", a.idChunkSource, b.idChunkSource);
    if (a.cwcStartSource != b.cwcStartSource)
        return field("cwcStartSource", a.cwcStartSource, b.cwcStartSource);
    if (a.cwcLenSource != b.cwcLenSource)
        return field("cwcLenSource", a.cwcLenSource, b.cwcLenSource);
    return {};
}
}

std::string ChunkPosition(const ConformanceChunk& chunk, size_t index)
{
    if (chunk.answer == S_OK)
        return "chunk " + std::to_string(chunk.stat.idChunk);
    return "answer " + std::to_string(index + 1);
}

std::string ChunkDifference(const ConformanceChunk& want, const ConformanceChunk& got, bool text, bool value)
{
    if (want.answer != got.answer)
        return "GetChunk answered " + DescribeResult(got.answer) + " where it answered " + DescribeResult(want.answer);
    if (want.answer != S_OK)
        return {};
    std::string difference = StatDifference(want, got);
    if (!difference.empty())
        return difference;
    if (text && want.text != got.text)
        return TextDifference(want.text, got.text);
    if (value)
        return ValueDifference(want, got);
    return {};
}

std::string ValueDifference(const ConformanceChunk& want, const ConformanceChunk& got)
{
    if (want.hasValue == got.hasValue && want.value == got.value)
        return {};
    return "value " + (got.hasValue ? Shown(got.value) : std::string("none")) + " where it was " +
           (want.hasValue ? Shown(want.value) : std::string("none"));
}

std::string TextDifference(const std::wstring& want, const std::wstring& got)
{
    if (want == got)
        return {};
    size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at])
        ++at;
    return "text of " + std::to_string(got.size()) + " characters where it had " + std::to_string(want.size()) +
           "; they part at character " + std::to_string(at) + ": " + Around(got, at) + " where it was " +
           Around(want, at);
}

std::string ReadDifference(const ConformanceRead& want, const ConformanceRead& got)
{
    if (want.chunks.size() != got.chunks.size())
        return std::to_string(got.chunks.size()) + " answers before the end where there were " +
               std::to_string(want.chunks.size());
    if (want.end != got.end)
        return "ended with " + DescribeResult(got.end) + " where it ended with " + DescribeResult(want.end);
    return {};
}
