#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>

// A DLL loaded the way a host loads it (LoadLibraryW), freed at the end.
class LoadedModule {
public:
    explicit LoadedModule(const std::wstring& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    HMODULE get() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }

    template <typename Fn>
    Fn Export(const char* name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

    // Full path of the running program.
    static std::wstring ThisProgram();
    // Full path of a file that lies beside the running test program.
    static std::wstring BesideTestProgram(const std::wstring& name);

private:
    HMODULE m_module = nullptr;
};

// COM for the calling thread for as long as the object lives.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED);
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_hr;
};
