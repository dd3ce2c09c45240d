#include "registry/CIFilterRegistryHelperMSNDesktopSearch.h"

#include <new>

#include "registry/CRegistry.h"
#include "registry/ReadRegistryText.h"

CIFilterRegistryHelperMSNDesktopSearch::CIFilterRegistryHelperMSNDesktopSearch()
{
    ApplyProfile(SearchProduct::MSNDesktopSearch);
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::GetContentIndexKey(HKEY* root, wchar_t* path, size_t capacity)
{
    if (!CIFilterRegistryHelperSQLServer2000::GetContentIndexKey(root, path, capacity))
        return FALSE;
    *root = HKEY_CURRENT_USER;
    return TRUE;
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::IsProductInstalled()
{
    return TRUE;
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::ReadAddinPolicyList(std::vector<std::wstring>& list)
{
    list.clear();
    CRegistry key;
    if (!key.Open(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\DesktopSearch\\PreventUnwantedAddins"))
        return TRUE;
    try {
        wchar_t name[kPolicyTextCapacity];
        wchar_t text[kPolicyTextCapacity];
        for (BOOL more = key.EnumFirstValue(name, kPolicyTextCapacity); more;
             more = key.EnumNextValue(name, kPolicyTextCapacity)) {
            if (ReadRegistryText(key, name, text, kPolicyTextCapacity, kPolicyTextCapacity))
                list.emplace_back(text);
        }
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}
