#pragma once
#include <windows.h>

#include <string>

#include "support/ScratchFolder.h"

// A private copy of a test filter DLL in a scratch folder, so that each test
// loads a module of its own with fresh counters. The copy is unloaded when the
// object goes, so the scratch folder can be removed after it.
class FilterDllCopy {
public:
    FilterDllCopy(const ScratchFolder& scratch, const std::wstring& relative,
                  const wchar_t* source = L"TestPageFilters.dll");
    ~FilterDllCopy() { Unload(); }
    FilterDllCopy(const FilterDllCopy&) = delete;
    FilterDllCopy& operator=(const FilterDllCopy&) = delete;

    const std::wstring& Path() const { return m_path; }
    // The copy's folder, without a closing backslash.
    std::wstring Folder() const { return m_path.substr(0, m_path.rfind(L'\\')); }
    HMODULE Loaded() const { return GetModuleHandleW(m_path.c_str()); }

    // Read through the test exports; the copy must be loaded.
    LONG ClassObjectCalls() const;
    LONG LiveObjects() const;
    LONG LeftoverCalls() const;
    std::wstring LoadDirectory() const;
    std::wstring ClassObjectDirectory() const;

    void Unload() const;

private:
    template <typename Fn>
    Fn Export(const char* name) const;

    std::wstring m_path;
};

// The current directory without a closing backslash.
std::wstring CurrentDirectory();
// Case-insensitive comparison of two folder paths, closing backslashes ignored.
bool SameFolder(std::wstring a, std::wstring b);
