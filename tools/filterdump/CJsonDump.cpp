#include "CJsonDump.h"

#include "DescribeResult.h"
#include "ExitCodes.h"
#include "PropertyNames.h"
#include "Utf8.h"

using json = nlohmann::ordered_json;

void CJsonDump::Line(const json& object)
{
    // Strings are valid UTF-8 already (ToUtf8); replace guards the rest.
    m_out.Write(object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n");
}

void CJsonDump::Document(const std::wstring& file, const std::wstring& clsid, const std::wstring& dll,
                         const std::string& how, const CDllSignature* signature)
{
    json line = {{"type", "document"}, {"file", ToUtf8(file)}, {"clsid", ToUtf8(clsid)}, {"dll", ToUtf8(dll)},
                 {"how", how}};
    if (signature) {
        line["signature"] = {
            {"loadedDll", ToUtf8(signature->Path())},
            {"signed", signature->IsSigned()},
            {"signer", signature->Signer().empty() ? json(nullptr) : json(ToUtf8(signature->Signer()))},
            {"trusted", signature->IsTrusted()},
            {"trust", DescribeResult(signature->TrustResult())},
        };
    }
    Line(line);
}

void CJsonDump::Chunk(const std::wstring& file, const ChunkRecord& chunk, const FileSummary&)
{
    const STAT_CHUNK& stat = chunk.stat;
    json line = {
        {"type", "chunk"},
        {"file", ToUtf8(file)},
        {"id", stat.idChunk},
        {"break", BreakTypeName(stat.breakType)},
        {"kind", (stat.flags & CHUNK_VALUE) ? "value" : "text"},
        {"propset", GuidString(stat.attribute.guidPropSet)},
        {"property", PropertySetName(stat.attribute.guidPropSet) + " " +
                         PropertyName(stat.attribute, chunk.propertyName)},
        {"locale", stat.locale},
        {"source", {{"id", stat.idChunkSource}, {"start", stat.cwcStartSource}, {"length", stat.cwcLenSource}}},
    };
    if (stat.attribute.psProperty.ulKind == PRSPEC_LPWSTR)
        line["propname"] = ToUtf8(chunk.propertyName);
    else
        line["propid"] = stat.attribute.psProperty.propid;
    if (stat.flags & CHUNK_TEXT)
        line["text"] = ToUtf8(chunk.text);
    if (chunk.hasValue) {
        line["valueType"] = chunk.valueType;
        line["value"] = chunk.value;
    }
    Line(line);
}

void CJsonDump::Summary(const FileSummary& s)
{
    json line = {
        {"type", "summary"},
        {"file", ToUtf8(s.file)},
        {"exit", s.exitCode},
        {"title", s.haveTitle ? json(ToUtf8(s.title)) : json(nullptr)},
        {"chapters", s.chapters},
        // The field's first name, kept for the programs that read it: the same count.
        {"pages", s.chapters},
        {"chunks", s.chunks},
        {"textChunks", s.textChunks},
        {"valueChunks", s.valueChunks},
        {"characters", s.characters},
        {"seconds", s.seconds},
    };
    if (!s.reason.empty())
        line["reason"] = s.reason;
    Line(line);
}

void CJsonDump::Table(const std::vector<FileSummary>& files, double seconds)
{
    unsigned failed = 0;
    unsigned long long chunks = 0;
    unsigned long long characters = 0;
    for (const auto& s : files) {
        failed += s.exitCode != kExitOk;
        chunks += s.chunks;
        characters += s.characters;
    }
    Line({{"type", "total"},
          {"files", files.size()},
          {"failed", failed},
          {"chunks", chunks},
          {"characters", characters},
          {"seconds", seconds}});
}
