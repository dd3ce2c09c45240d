#pragma once
#include <string>
#include <vector>

#include "registry/CIFilterRegistryHelperSharepoint2003.h"

// MSN Desktop Search: read as SharePoint Portal Server 2001, but its filter
// tables are per user (under HKEY_CURRENT_USER) while its install folder is
// still under HKEY_LOCAL_MACHINE.
class CIFilterRegistryHelperMSNDesktopSearch : public CIFilterRegistryHelperSharepoint2003 {
public:
    static constexpr DWORD kPolicyTextCapacity = 2048;

    CIFilterRegistryHelperMSNDesktopSearch();

    BOOL GetContentIndexKey(HKEY* root, wchar_t* path, size_t capacity) override;
    BOOL IsProductInstalled() override;
    // The texts of the values of the per-user policy key
    // "...\DesktopSearch\PreventUnwantedAddins", in value order; the list is
    // emptied first.
    virtual BOOL ReadAddinPolicyList(std::vector<std::wstring>& list);
};
