#include "CFilterLoader.h"

#include <objbase.h>
#include <propsys.h>
#include <shlwapi.h>

#include "DescribeResult.h"
#include "Utf8.h"
#include "comserver/ClassesRegistry.h"

namespace {
using ClassesRegistry::GuidText;
using ClassesRegistry::kIFilterAddin;
using ClassesRegistry::ReadDefault;

std::wstring ExtensionOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return {};
    return path.substr(dot);
}
}

CFilterLoader::Outcome CFilterLoader::Fail(Outcome outcome, const std::string& reason)
{
    m_reason = reason;
    return outcome;
}

CFilterLoader::Outcome CFilterLoader::FindRegisteredClass(const std::wstring& path, CLSID& clsid)
{
    const std::wstring extension = ExtensionOf(path);
    if (extension.empty())
        return Fail(Outcome::NoFilter, "no filter for " + ToUtf8(path) + ": the name has no extension");
    const std::string ext = ToUtf8(extension);

    // The extension's own handler, else the handler of its document type's class.
    std::wstring handler = ReadDefault(extension + L"\\PersistentHandler");
    m_how = "registration of " + ext;
    if (handler.empty()) {
        const std::wstring docType = ReadDefault(extension);
        const std::wstring docClass = docType.empty() ? std::wstring() : ReadDefault(docType + L"\\CLSID");
        if (!docClass.empty())
            handler = ReadDefault(L"CLSID\\" + docClass + L"\\PersistentHandler");
        m_how = "registration of " + ext + " through " + ToUtf8(docType);
    }
    if (handler.empty())
        return Fail(Outcome::NoFilter, "no filter registered for " + ext + ": no persistent handler for it");
    const std::wstring filterClass =
        ReadDefault(L"CLSID\\" + handler + L"\\PersistentAddinsRegistered\\" + kIFilterAddin);
    if (filterClass.empty() || FAILED(CLSIDFromString(filterClass.c_str(), &clsid)))
        return Fail(Outcome::NoFilter, "no filter registered for " + ext + ": persistent handler " +
                                           ToUtf8(handler) + " names no IFilter class");
    return Outcome::Loaded;
}

CFilterLoader::Outcome CFilterLoader::Create(const CLSID& clsid, ComPtr<IFilter>& filter)
{
    m_usedClsid = GuidText(clsid);
    if (m_dll.empty()) {
        m_usedDll = ReadDefault(L"CLSID\\" + m_usedClsid + L"\\InprocServer32");
        const HRESULT hr = filter.receive([&](IFilter** out) {
            return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFilter),
                                    reinterpret_cast<void**>(out));
        });
        if (FAILED(hr))
            return Fail(Outcome::Failed, "cannot create filter " + ToUtf8(m_usedClsid) + ": " + DescribeResult(hr));
        return Outcome::Loaded;
    }

    m_usedDll = m_dll;
    m_module.reset(LoadLibraryExW(m_dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!m_module)
        return Fail(Outcome::NoFilter,
                    "cannot load " + ToUtf8(m_dll) + ": " + DescribeResult(HRESULT_FROM_WIN32(GetLastError())));
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(m_module.get(), "DllGetClassObject")));
    if (!getClassObject)
        return Fail(Outcome::NoFilter, ToUtf8(m_dll) + " has no DllGetClassObject");
    ComPtr<IClassFactory> factory;
    HRESULT hr = factory.receive([&](IClassFactory** out) {
        return getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return Fail(Outcome::NoFilter, ToUtf8(m_dll) + " does not serve " + ToUtf8(m_usedClsid) + ": " +
                                           DescribeResult(hr));
    hr = filter.receive([&](IFilter** out) {
        return factory->CreateInstance(nullptr, __uuidof(IFilter), reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return Fail(Outcome::Failed, "cannot create filter " + ToUtf8(m_usedClsid) + ": " + DescribeResult(hr));
    return Outcome::Loaded;
}

void CFilterLoader::FindLoadedDll()
{
    // The module as the loader holds it: the registration may name the DLL with
    // environment variables, a short path, or by name alone.
    HMODULE module = m_module.get();
    if (!module) {
        if (m_usedDll.empty())
            return;
        wchar_t expanded[32768];
        const DWORD length = ExpandEnvironmentStringsW(m_usedDll.c_str(), expanded, 32768);
        if (length == 0 || length > 32768 ||
            !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, expanded, &module))
            return;
    }
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, &name[0], static_cast<DWORD>(name.size()));
        if (length == 0)
            return;
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        if (name.size() >= 32768)
            return;
        name.resize(name.size() * 2);
    }
    m_loadedDll = name;
}

CFilterLoader::Outcome CFilterLoader::Load(const std::wstring& path, ComPtr<IFilter>& filter)
{
    CLSID clsid{};
    if (!m_clsid.empty()) {
        if (FAILED(CLSIDFromString(m_clsid.c_str(), &clsid)))
            return Fail(Outcome::NoFilter, "not a class id: " + ToUtf8(m_clsid));
        m_how = m_dll.empty() ? "class named on the command line" : "DLL and class named on the command line";
    } else {
        const Outcome found = FindRegisteredClass(path, clsid);
        if (found != Outcome::Loaded)
            return found;
    }
    const Outcome created = Create(clsid, filter);
    if (created != Outcome::Loaded)
        return created;
    FindLoadedDll();

    return m_stream ? LoadStream(path, filter.get()) : LoadFile(path, filter.get());
}

CFilterLoader::Outcome CFilterLoader::LoadFile(const std::wstring& path, IFilter* filter)
{
    ComPtr<IPersistFile> persist;
    HRESULT hr = persist.receive([filter](IPersistFile** out) {
        return filter->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return Fail(Outcome::Failed, "filter " + ToUtf8(m_usedClsid) + " offers no IPersistFile: " + DescribeResult(hr));
    hr = persist->Load(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE);
    if (FAILED(hr))
        return Fail(Outcome::Failed, "the filter cannot load the file: " + DescribeResult(hr));
    return Outcome::Loaded;
}

CFilterLoader::Outcome CFilterLoader::LoadStream(const std::wstring& path, IFilter* filter)
{
    ComPtr<IInitializeWithStream> initialize;
    HRESULT hr = initialize.receive([filter](IInitializeWithStream** out) {
        return filter->QueryInterface(__uuidof(IInitializeWithStream), reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return Fail(Outcome::Failed,
                    "filter " + ToUtf8(m_usedClsid) + " offers no IInitializeWithStream: " + DescribeResult(hr));
    // Read-only, and others may read the file meanwhile, as the search host opens it.
    ComPtr<IStream> stream;
    hr = stream.receive([&path](IStream** out) {
        return SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                      nullptr, out);
    });
    if (FAILED(hr))
        return Fail(Outcome::Failed, "cannot open the file as a stream: " + DescribeResult(hr));
    hr = initialize->Initialize(stream.get(), STGM_READ);
    if (FAILED(hr))
        return Fail(Outcome::Failed, "the filter cannot take the file as a stream: " + DescribeResult(hr));
    return Outcome::Loaded;
}
