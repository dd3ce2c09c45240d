#include "CTextDump.h"

#include <cstdio>

#include "DescribeResult.h"
#include "ExitCodes.h"
#include "PropertyNames.h"
#include "Utf8.h"

namespace {
// Control characters would disturb the layout; they show as \xNN.
std::string Printable(const std::wstring& text)
{
    std::wstring shown;
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\x%02X", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown += c;
        }
    }
    return ToUtf8(shown);
}

std::string Fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

std::string Pad(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string PadLeft(const std::string& text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// At most width characters of a name, for the table.
std::wstring Cut(const std::wstring& text, size_t width)
{
    return text.size() <= width ? text : text.substr(0, width - 1) + L"\x2026";
}

std::string Status(const FileSummary& s)
{
    switch (s.exitCode) {
    case kExitOk: return s.chunks <= 1 ? "title only" : "ok";
    case kExitFileMissing: return "missing";
    case kExitNoFilter: return "no filter";
    case kExitFilterFailed: return "failed";
    case kExitNoChunks: return "no chunks";
    default: return "exit " + std::to_string(s.exitCode);
    }
}
}

void CTextDump::Document(const std::wstring& file, const std::wstring& clsid, const std::wstring& dll,
                         const std::string& how, const CDllSignature* signature)
{
    m_titleShown = false;
    if (!m_showChunks)
        return;
    m_out.Write("File:   " + ToUtf8(file) + "\n");
    m_out.Write("Filter: " + ToUtf8(clsid) + " " + (dll.empty() ? "(no InprocServer32)" : ToUtf8(dll)) + "\n");
    m_out.Write("        chosen by the " + how + "\n");
    if (!signature)
        return;
    if (CompareStringOrdinal(signature->Path().c_str(), -1, dll.c_str(), -1, TRUE) != CSTR_EQUAL)
        m_out.Write("        loaded from " + ToUtf8(signature->Path()) + "\n");
    if (!signature->IsSigned()) {
        m_out.Write("Signed: no (the DLL carries no Authenticode signature)\n");
        return;
    }
    const std::string signer =
        signature->Signer().empty() ? "a signer whose name cannot be read" : ToUtf8(signature->Signer());
    if (signature->IsTrusted())
        m_out.Write("Signed: by " + signer + "; trusted by this system\n");
    else
        m_out.Write("Signed: by " + signer + "; not trusted by this system: " +
                    DescribeResult(signature->TrustResult()) + "\n");
}

void CTextDump::Chunk(const std::wstring&, const ChunkRecord& chunk, const FileSummary& sofar)
{
    if (!m_showChunks)
        return;
    if (sofar.haveTitle && !m_titleShown) {
        m_out.Write("Title:  " + Printable(sofar.title) + "\n");
        m_titleShown = true;
    }
    const STAT_CHUNK& stat = chunk.stat;
    char locale[24];
    std::snprintf(locale, sizeof(locale), "0x%04lX", static_cast<unsigned long>(stat.locale));
    std::string line = "\n#" + std::to_string(stat.idChunk) + "  " + ((stat.flags & CHUNK_VALUE) ? "value" : "text") +
                       "  " + BreakTypeName(stat.breakType) + "  " + PropertySetName(stat.attribute.guidPropSet) +
                       " " + PropertyName(stat.attribute, chunk.propertyName) + "  locale " + locale;
    if (stat.idChunkSource != stat.idChunk)
        line += "  source #" + std::to_string(stat.idChunkSource);
    m_out.Write(line + "\n");
    if (stat.flags & CHUNK_TEXT) {
        m_out.Write("    " + Printable(chunk.text) + "\n");
    } else if (chunk.hasValue) {
        const std::string value = chunk.value.is_string() ? chunk.value.get<std::string>()
                                                          : chunk.value.dump(-1, ' ', false,
                                                                             nlohmann::ordered_json::error_handler_t::replace);
        std::wstring wide;
        const int length = MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
        wide.resize(static_cast<size_t>(length > 0 ? length : 0));
        if (length > 0)
            MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), &wide[0], length);
        m_out.Write("    " + chunk.valueType + " \"" + Printable(wide) + "\"\n");
    } else {
        m_out.Write("    (no value)\n");
    }
}

void CTextDump::Summary(const FileSummary& s)
{
    if (!m_showSummary)
        return;
    if (s.haveTitle && !m_titleShown)
        m_out.Write("Title:  " + Printable(s.title) + "\n");
    m_out.Write("\nSummary: chapters " + std::to_string(s.chapters) + ", chunks " + std::to_string(s.chunks) + " (" +
                std::to_string(s.textChunks) + " text, " + std::to_string(s.valueChunks) + " value), characters " +
                std::to_string(s.characters) + ", " + Fixed(s.seconds, 2) + " s" +
                (s.exitCode == kExitOk ? std::string() : ", " + Status(s)) + "\n");
}

void CTextDump::Table(const std::vector<FileSummary>& files, double seconds)
{
    const size_t nameWidth = 34;
    const size_t titleWidth = 34;
    m_out.Write(Pad("file", nameWidth) + "  " + Pad("result", 10) + "  " + Pad("title", titleWidth) + "  " +
                PadLeft("chapters", 8) + "  " + PadLeft("chunks", 7) + "  " + PadLeft("chars", 9) + "  " +
                PadLeft("s", 6) + "\n");
    unsigned failed = 0;
    unsigned long long chunks = 0;
    unsigned long long characters = 0;
    for (const auto& s : files) {
        if (s.exitCode != kExitOk)
            ++failed;
        chunks += s.chunks;
        characters += s.characters;
        // Pad by characters, not bytes: names and titles may be in any script.
        const std::wstring name = Cut(s.file, nameWidth);
        const std::wstring title = Cut(s.haveTitle ? s.title : L"", titleWidth);
        m_out.Write(Printable(name) + std::string(nameWidth - name.size(), ' ') + "  " + Pad(Status(s), 10) + "  " +
                    Printable(title) + std::string(titleWidth - title.size(), ' ') + "  " +
                    PadLeft(std::to_string(s.chapters), 8) + "  " + PadLeft(std::to_string(s.chunks), 7) + "  " +
                    PadLeft(std::to_string(s.characters), 9) + "  " + PadLeft(Fixed(s.seconds, 2), 6) + "\n");
        if (s.exitCode != kExitOk && !s.reason.empty())
            m_out.Write("    " + s.reason + "\n");
    }
    m_out.Write(std::to_string(files.size()) + " files, " + std::to_string(failed) + " failed, " +
                std::to_string(chunks) + " chunks, " + std::to_string(characters) + " characters, " +
                Fixed(seconds, 2) + " s\n");
}
