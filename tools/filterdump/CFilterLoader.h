#pragma once
#include <windows.h>
#include <filter.h>

#include <string>

#include "util/owners/ComPtr.h"
#include "util/owners/LibraryHandle.h"

// Creates the filter for a file the way a search host does: from the standard
// registration of the file's extension (extension or its document type,
// persistent handler, IFilter add-in class), or from a class, or a DLL and a
// class, named by the user. Then names the file with IPersistFile::Load or,
// as Windows Search does, hands it over as a read-only stream through
// IInitializeWithStream.
class CFilterLoader {
public:
    enum class Outcome { Loaded, NoFilter, Failed };

    // dll and clsid may be empty: then the registration decides.
    CFilterLoader(std::wstring dll, std::wstring clsid, bool stream = false)
        : m_dll(std::move(dll)), m_clsid(std::move(clsid)), m_stream(stream) {}

    Outcome Load(const std::wstring& path, ComPtr<IFilter>& filter);

    // After Load: the class used, the DLL that serves it, and how it was chosen;
    // after a failure, the reason in one line.
    const std::wstring& ClassId() const { return m_usedClsid; }
    const std::wstring& DllPath() const { return m_usedDll; }
    const std::string& How() const { return m_how; }
    const std::string& Reason() const { return m_reason; }
    // After Load: the file of the DLL that serves the filter, as loaded (empty
    // if it cannot be told).
    const std::wstring& LoadedDll() const { return m_loadedDll; }

private:
    Outcome FindRegisteredClass(const std::wstring& path, CLSID& clsid);
    Outcome Create(const CLSID& clsid, ComPtr<IFilter>& filter);
    Outcome Fail(Outcome outcome, const std::string& reason);
    void FindLoadedDll();
    Outcome LoadFile(const std::wstring& path, IFilter* filter);
    Outcome LoadStream(const std::wstring& path, IFilter* filter);

    std::wstring m_dll;
    std::wstring m_clsid;
    bool m_stream;
    LibraryHandle m_module;
    std::wstring m_usedClsid;
    std::wstring m_usedDll;
    std::wstring m_loadedDll;
    std::string m_how;
    std::string m_reason;
};
