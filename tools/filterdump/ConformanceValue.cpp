#include "ConformanceValue.h"

#include <algorithm>
#include <cstdio>

#include "ValueJson.h"

namespace {
const VARTYPE kAlone[] = {VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8,
                          VT_UI8, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR, VT_BOOL, VT_ERROR, VT_DECIMAL, VT_FILETIME,
                          VT_LPSTR, VT_LPWSTR, VT_CLSID, VT_CF, VT_BLOB, VT_BLOB_OBJECT, VT_STREAM,
                          VT_STREAMED_OBJECT, VT_STORAGE, VT_STORED_OBJECT, VT_VERSIONED_STREAM, VT_UNKNOWN,
                          VT_DISPATCH};
const VARTYPE kInVector[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8, VT_R4, VT_R8, VT_CY,
                             VT_DATE, VT_BSTR, VT_BOOL, VT_ERROR, VT_FILETIME, VT_LPSTR, VT_LPWSTR, VT_CLSID, VT_CF,
                             VT_VARIANT};
const VARTYPE kInArrayOrByRef[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_R4, VT_R8,
                                   VT_CY, VT_DATE, VT_BSTR, VT_BOOL, VT_DECIMAL, VT_ERROR, VT_UNKNOWN, VT_DISPATCH,
                                   VT_VARIANT};

template <size_t N>
bool In(const VARTYPE (&types)[N], VARTYPE type)
{
    return std::find(types, types + N, type) != types + N;
}

std::string TypeNumber(VARTYPE type)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(type));
    return text;
}
}

bool IsLegalValue(const PROPVARIANT& value, std::string& problem)
{
    const VARTYPE base = value.vt & VT_TYPEMASK;
    const VARTYPE modifier = value.vt & static_cast<VARTYPE>(~VT_TYPEMASK);
    bool legal = false;
    if (modifier == 0)
        legal = In(kAlone, base);
    else if (modifier == VT_VECTOR)
        legal = In(kInVector, base);
    else if (modifier == VT_ARRAY || modifier == VT_BYREF)
        legal = In(kInArrayOrByRef, base);
    if (!legal) {
        problem = "type " + TypeNumber(value.vt) + " is no PROPVARIANT type";
        return false;
    }
    if ((value.vt == VT_LPWSTR && !value.pwszVal) || (value.vt == VT_LPSTR && !value.pszVal) ||
        (value.vt == VT_CLSID && !value.puuid)) {
        problem = "type " + TypeNumber(value.vt) + " with a null pointer";
        return false;
    }
    return true;
}

std::string ValueText(const PROPVARIANT& value)
{
    std::string type;
    const nlohmann::ordered_json shown = ValueJson(value, type);
    return shown.is_null() ? type : type + " " + shown.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
