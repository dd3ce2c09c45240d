#include "PropertyNames.h"

#include <objbase.h>

#include "Utf8.h"

namespace {
constexpr GUID kStorage = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr GUID kSummary = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr GUID kDocSummary = {0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
constexpr GUID kHtmlMeta = {0xD1B5D3F0, 0xC0B3, 0x11CF, {0x9A, 0x92, 0x00, 0xA0, 0xC9, 0x08, 0xDB, 0xF1}};

const char* const kSummaryNames[] = {nullptr, nullptr, "PIDSI_TITLE", "PIDSI_SUBJECT", "PIDSI_AUTHOR",
                                     "PIDSI_KEYWORDS", "PIDSI_COMMENTS", "PIDSI_TEMPLATE", "PIDSI_LASTAUTHOR",
                                     "PIDSI_REVNUMBER", "PIDSI_EDITTIME", "PIDSI_LASTPRINTED", "PIDSI_CREATE_DTM",
                                     "PIDSI_LASTSAVE_DTM", "PIDSI_PAGECOUNT", "PIDSI_WORDCOUNT", "PIDSI_CHARCOUNT",
                                     "PIDSI_THUMBNAIL", "PIDSI_APPNAME", "PIDSI_DOC_SECURITY"};
}

std::string GuidString(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return ToUtf8(text);
}

std::string PropertySetName(const GUID& propSet)
{
    if (propSet == kStorage)
        return "Storage";
    if (propSet == kSummary)
        return "SummaryInformation";
    if (propSet == kDocSummary)
        return "DocSummaryInformation";
    if (propSet == kHtmlMeta)
        return "HtmlMeta";
    return GuidString(propSet);
}

std::string PropertyName(const FULLPROPSPEC& attribute, const std::wstring& name)
{
    if (attribute.psProperty.ulKind == PRSPEC_LPWSTR)
        return "\"" + ToUtf8(name) + "\"";
    const PROPID id = attribute.psProperty.propid;
    if (attribute.guidPropSet == kStorage && id == 19)
        return "PID_STG_CONTENTS";
    if (attribute.guidPropSet == kSummary && id < sizeof(kSummaryNames) / sizeof(kSummaryNames[0]) &&
        kSummaryNames[id])
        return kSummaryNames[id];
    return std::to_string(id);
}

std::string BreakTypeName(CHUNK_BREAKTYPE breakType)
{
    switch (breakType) {
    case CHUNK_NO_BREAK: return "no-break";
    case CHUNK_EOW: return "end-of-word";
    case CHUNK_EOS: return "end-of-sentence";
    case CHUNK_EOP: return "end-of-paragraph";
    case CHUNK_EOC: return "end-of-chapter";
    }
    return "break-" + std::to_string(static_cast<int>(breakType));
}
