#include "FilterRegistration.h"

#include <olectl.h>

#include <string>

#include "ReferenceFilterIds.h"
#include "comserver/ServerRegistration.h"
#include "util/owners/RegKey.h"

using ClassesRegistry::GuidText;
using ClassesRegistry::kIFilterAddin;
using ClassesRegistry::ReadDefault;
using ServerRegistration::SetClassesString;

namespace {
struct FilterClass {
    const CLSID* filter;
    const CLSID* handler;
    const wchar_t* filterName;
    const wchar_t* handlerName;
};

const FilterClass kClasses[] = {
    {&CLSID_ReferenceHtmlFilter, &CLSID_ReferenceHtmlHandler, L"Tavrinolex reference HTML filter",
     L"Tavrinolex reference HTML persistent handler"},
    {&CLSID_ReferenceTextFilter, &CLSID_ReferenceTextHandler, L"Tavrinolex reference plain text filter",
     L"Tavrinolex reference plain text persistent handler"},
};

struct Extension {
    const wchar_t* name;
    const CLSID* handler;
};

const Extension kExtensions[] = {
    {L".htm", &CLSID_ReferenceHtmlHandler},
    {L".html", &CLSID_ReferenceHtmlHandler},
    {L".txt", &CLSID_ReferenceTextHandler},
};

bool KeyIsEmpty(const std::wstring& path)
{
    RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}
}

HRESULT RegisterPageFilters(const wchar_t* dllPath)
{
    for (const auto& entry : kClasses) {
        const std::wstring filter = L"CLSID\\" + GuidText(*entry.filter);
        const std::wstring handler = L"CLSID\\" + GuidText(*entry.handler);
        if (SetClassesString(filter, entry.filterName) != ERROR_SUCCESS ||
            !ServerRegistration::RegisterInprocServer(*entry.filter, dllPath) ||
            SetClassesString(handler, entry.handlerName) != ERROR_SUCCESS ||
            SetClassesString(handler + L"\\PersistentAddinsRegistered\\" + kIFilterAddin, GuidText(*entry.filter)) !=
                ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    for (const auto& extension : kExtensions) {
        if (SetClassesString(std::wstring(extension.name) + L"\\PersistentHandler", GuidText(*extension.handler)) !=
            ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterPageFilters()
{
    HRESULT result = S_OK;
    for (const auto& extension : kExtensions) {
        const std::wstring key = std::wstring(extension.name) + L"\\PersistentHandler";
        if (ReadDefault(key) != GuidText(*extension.handler))
            continue;
        LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            result = SELFREG_E_CLASS;
        // An extension key that held only our handler goes too.
        if (KeyIsEmpty(extension.name))
            RegDeleteKeyW(HKEY_CLASSES_ROOT, extension.name);
    }
    for (const auto& entry : kClasses) {
        for (const CLSID* id : {entry.filter, entry.handler}) {
            const std::wstring key = L"CLSID\\" + GuidText(*id);
            const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
            if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
                RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
            else
                result = SELFREG_E_CLASS;
        }
    }
    return result;
}
