#pragma once
#include <windows.h>

#include <string>

#include "util/owners/RegKey.h"

// Points HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this
// process at a scratch tree for as long as the object lives, then restores them
// and deletes the tree. HKEY_CLASSES_ROOT is pointed at the scratch
// HKLM\Software\Classes, so writes through one are seen through the other.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // The scratch tree's real location under the real HKEY_CURRENT_USER.
    const std::wstring& RealPath() const { return m_path; }

private:
    std::wstring m_path;
    RegKey m_root;
    RegKey m_machine;
    RegKey m_user;
    RegKey m_classes;
};
