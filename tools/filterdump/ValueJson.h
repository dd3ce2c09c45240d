#pragma once
#include <windows.h>
#include <propidl.h>

#include <nlohmann/json.hpp>
#include <string>

// A value as JSON (strings in UTF-8, numbers, booleans, times in ISO 8601,
// vectors as arrays); null for types it does not show. type receives the
// type's name ("VT_LPWSTR").
nlohmann::ordered_json ValueJson(const PROPVARIANT& value, std::string& type);
