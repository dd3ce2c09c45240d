#pragma once
#include <windows.h>
#include <filter.h>

#include <string>

// Readable names of a chunk's attribute: the property set ("Storage",
// "SummaryInformation", "HtmlMeta", or its GUID) and the property
// ("PID_STG_CONTENTS", "PIDSI_TITLE", the property's own name, or its number).
std::string PropertySetName(const GUID& propSet);
std::string PropertyName(const FULLPROPSPEC& attribute, const std::wstring& name);
std::string BreakTypeName(CHUNK_BREAKTYPE breakType);
std::string GuidString(const GUID& guid);
