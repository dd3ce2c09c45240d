#include "LoadedModule.h"

#include <objbase.h>

LoadedModule::LoadedModule(const std::wstring& path) : m_module(LoadLibraryW(path.c_str())) {}

LoadedModule::~LoadedModule()
{
    if (m_module)
        FreeLibrary(m_module);
}

std::wstring LoadedModule::ThisProgram()
{
    wchar_t self[2048] = {};
    GetModuleFileNameW(nullptr, self, 2048);
    return self;
}

std::wstring LoadedModule::BesideTestProgram(const std::wstring& name)
{
    std::wstring folder = ThisProgram();
    folder.resize(folder.rfind(L'\\') + 1);
    return folder + name;
}

ComApartment::ComApartment(DWORD model) : m_hr(CoInitializeEx(nullptr, model)) {}

ComApartment::~ComApartment()
{
    if (SUCCEEDED(m_hr))
        CoUninitialize();
}
