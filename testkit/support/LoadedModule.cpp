#include "LoadedModule.h"

#include <objbase.h>

LoadedModule::LoadedModule(const std::wstring& path) : m_module(LoadLibraryW(path.c_str())) {}

LoadedModule::~LoadedModule()
{
    if (m_module)
        FreeLibrary(m_module);
}

std::wstring LoadedModule::BesideTestProgram(const std::wstring& name)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.rfind(L'\\') + 1);
    return folder + name;
}

ComApartment::ComApartment(DWORD model) : m_hr(CoInitializeEx(nullptr, model)) {}

ComApartment::~ComApartment()
{
    if (SUCCEEDED(m_hr))
        CoUninitialize();
}
