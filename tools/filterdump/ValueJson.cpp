#include "ValueJson.h"

#include <cstdio>

#include "Utf8.h"

namespace {
std::string FileTimeText(const FILETIME& time)
{
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&time, &st))
        return {};
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return text;
}

std::string AnsiToUtf8(const char* text)
{
    if (!text)
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return ToUtf8(wide);
}

std::string GuidText(const GUID* guid)
{
    if (!guid)
        return {};
    wchar_t text[40] = {};
    StringFromGUID2(*guid, text, 40);
    return ToUtf8(text);
}
}

nlohmann::ordered_json ValueJson(const PROPVARIANT& value, std::string& type)
{
    switch (value.vt) {
    case VT_EMPTY: type = "VT_EMPTY"; return nullptr;
    case VT_NULL: type = "VT_NULL"; return nullptr;
    case VT_LPWSTR: type = "VT_LPWSTR"; return ToUtf8(value.pwszVal);
    case VT_BSTR: type = "VT_BSTR"; return ToUtf8(value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring());
    case VT_LPSTR: type = "VT_LPSTR"; return AnsiToUtf8(value.pszVal);
    case VT_I1: type = "VT_I1"; return value.cVal;
    case VT_UI1: type = "VT_UI1"; return value.bVal;
    case VT_I2: type = "VT_I2"; return value.iVal;
    case VT_UI2: type = "VT_UI2"; return value.uiVal;
    case VT_I4: type = "VT_I4"; return value.lVal;
    case VT_INT: type = "VT_INT"; return value.intVal;
    case VT_UI4: type = "VT_UI4"; return value.ulVal;
    case VT_UINT: type = "VT_UINT"; return value.uintVal;
    case VT_I8: type = "VT_I8"; return value.hVal.QuadPart;
    case VT_UI8: type = "VT_UI8"; return value.uhVal.QuadPart;
    case VT_R4: type = "VT_R4"; return value.fltVal;
    case VT_R8: type = "VT_R8"; return value.dblVal;
    case VT_BOOL: type = "VT_BOOL"; return value.boolVal != VARIANT_FALSE;
    case VT_FILETIME: type = "VT_FILETIME"; return FileTimeText(value.filetime);
    case VT_CLSID: type = "VT_CLSID"; return GuidText(value.puuid);
    case VT_VECTOR | VT_LPWSTR: {
        type = "VT_VECTOR|VT_LPWSTR";
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (ULONG i = 0; i < value.calpwstr.cElems; ++i)
            list.push_back(ToUtf8(value.calpwstr.pElems[i]));
        return list;
    }
    case VT_VECTOR | VT_LPSTR: {
        type = "VT_VECTOR|VT_LPSTR";
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (ULONG i = 0; i < value.calpstr.cElems; ++i)
            list.push_back(AnsiToUtf8(value.calpstr.pElems[i]));
        return list;
    }
    default: {
        char text[16];
        std::snprintf(text, sizeof(text), "VT_0x%04X", value.vt);
        type = text;
        return nullptr;
    }
    }
}
