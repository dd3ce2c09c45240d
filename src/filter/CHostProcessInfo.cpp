#include "filter/CHostProcessInfo.h"

#include "util/BoundedString.h"
#include "util/SplitPath.h"

CHostProcessInfo::CHostProcessInfo()
{
    wchar_t path[kPathCapacity] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kPathCapacity);
    // A cut path is still terminated by GetModuleFileNameW on NT; make sure anyway.
    path[length < kPathCapacity ? length : kPathCapacity - 1] = L'\0';
    SetHostPath(path);
}

CHostProcessInfo::CHostProcessInfo(const wchar_t* hostPath)
{
    SetHostPath(hostPath);
}

void CHostProcessInfo::SetHostPath(const wchar_t* hostPath)
{
    BoundedCopy(m_hostPath, kPathCapacity, hostPath);

    // The file name part, without folder and extension.
    SplitPath(m_hostPath, nullptr, 0, nullptr, 0, m_hostBaseName, kPathCapacity, nullptr, 0);
    CharUpperW(m_hostBaseName);
}

// Placeholder bodies: page-filter loading is being built on its own branch.
BOOL CHostProcessInfo::FindFilter(const wchar_t*, FilterLookupRecord&) { return FALSE; }
CoLibraryHandle CHostProcessInfo::LoadPageFilter(const wchar_t*, ComPtr<IFilter>& filter)
{
    filter.reset();
    return CoLibraryHandle();
}
CoLibraryHandle CHostProcessInfo::CreatePageFilter(const wchar_t*, const FilterLookupRecord&, ComPtr<IFilter>& filter)
{
    filter.reset();
    return CoLibraryHandle();
}
std::unique_ptr<CIFilterRegistryHelperBase> CHostProcessInfo::CreateHelperForHost() { return nullptr; }
std::unique_ptr<CIFilterRegistryHelperBase> CHostProcessInfo::MatchInstalledProduct() { return nullptr; }
