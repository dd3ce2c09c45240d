#include "support/FilterDllCopy.h"

#include <gtest/gtest.h>

#include "pagefilters/PageFilterClassIds.h"
#include "support/LoadedModule.h"

FilterDllCopy::FilterDllCopy(const ScratchFolder& scratch, const std::wstring& relative, const wchar_t* source)
    : m_path(scratch / relative)
{
    const size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos)
        scratch.MakeFolder(relative.substr(0, slash));
    EXPECT_TRUE(CopyFileW(LoadedModule::BesideTestProgram(source).c_str(), m_path.c_str(), FALSE))
        << "cannot copy " << testing::PrintToString(std::wstring(source));
}

template <typename Fn>
Fn FilterDllCopy::Export(const char* name) const
{
    HMODULE module = Loaded();
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

LONG FilterDllCopy::ClassObjectCalls() const
{
    auto fn = Export<PageFilterExports::CountFn>(PageFilterExports::ClassObjectCalls);
    return fn ? fn() : -1;
}

LONG FilterDllCopy::LiveObjects() const
{
    auto fn = Export<PageFilterExports::CountFn>(PageFilterExports::LiveObjects);
    return fn ? fn() : -1;
}

LONG FilterDllCopy::LeftoverCalls() const
{
    auto fn = Export<PageFilterExports::CountFn>(PageFilterExports::LeftoverCalls);
    return fn ? fn() : -1;
}

std::wstring FilterDllCopy::LoadDirectory() const
{
    auto fn = Export<PageFilterExports::DirectoryFn>(PageFilterExports::LoadDirectory);
    return fn ? fn() : L"(not loaded)";
}

std::wstring FilterDllCopy::ClassObjectDirectory() const
{
    auto fn = Export<PageFilterExports::DirectoryFn>(PageFilterExports::ClassObjectDirectory);
    return fn ? fn() : L"(not loaded)";
}

void FilterDllCopy::Unload() const
{
    // Every reference the product took stays until process end otherwise.
    for (int i = 0; i < 16; ++i) {
        HMODULE module = Loaded();
        if (!module)
            return;
        FreeLibrary(module);
    }
}

std::wstring CurrentDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    std::wstring folder(buffer);
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

bool SameFolder(std::wstring a, std::wstring b)
{
    while (a.size() > 3 && a.back() == L'\\')
        a.pop_back();
    while (b.size() > 3 && b.back() == L'\\')
        b.pop_back();
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}
