#pragma once
#include <windows.h>

#include "environment/CDLLsInformation.h"

// Who is hosting the filter: the host executable's path and its upper-cased
// base name (for example "MSSDMN"), read once when the filter object is made,
// and the filter-DLL information with its probe cache for this filter object.
class CHostProcessInfo {
public:
    static constexpr size_t kPathCapacity = 2048;

    CHostProcessInfo();
    // For tests and callers that know the host path already.
    explicit CHostProcessInfo(const wchar_t* hostPath);
    CHostProcessInfo(const CHostProcessInfo&) = delete;
    CHostProcessInfo& operator=(const CHostProcessInfo&) = delete;

    const wchar_t* HostPath() const { return m_hostPath; }
    const wchar_t* HostBaseName() const { return m_hostBaseName; }
    CDLLsInformation& DLLsInformation() { return m_dllsInformation; }

private:
    void SetHostPath(const wchar_t* hostPath);

    // Built before the strings.
    CDLLsInformation m_dllsInformation;
    wchar_t m_hostPath[kPathCapacity] = {};
    wchar_t m_hostBaseName[kPathCapacity] = {};
};
