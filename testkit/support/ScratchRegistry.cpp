#include "ScratchRegistry.h"

#include <objbase.h>

#include <stdexcept>

namespace {
HKEY Create(HKEY parent, const wchar_t* path, RegKey& out)
{
    if (RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.put(), nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create scratch registry key");
    return out.get();
}
}

ScratchRegistry::ScratchRegistry()
{
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t name[80];
    swprintf(name, 80, L"Software\\TavrinolexTests\\%08lX%04X%04X", static_cast<unsigned long>(guid.Data1),
             guid.Data2, guid.Data3);
    m_path = name;
    Create(HKEY_CURRENT_USER, m_path.c_str(), m_root);
    Create(m_root.get(), L"HKLM", m_machine);
    Create(m_root.get(), L"HKCU", m_user);
    Create(m_machine.get(), L"Software\\Classes", m_classes);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_machine.get());
    RegOverridePredefKey(HKEY_CURRENT_USER, m_user.get());
    RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes.get());
}

ScratchRegistry::~ScratchRegistry()
{
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    m_classes.reset();
    m_user.reset();
    m_machine.reset();
    m_root.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TavrinolexTests");  // only goes when empty
}
