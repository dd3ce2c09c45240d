#include "registry/ProductProfile.h"

namespace {
// In the order of SearchProduct.
const ProductProfile kProductProfiles[] = {
    {L"mssdmn", L"SOFTWARE\\Microsoft\\Search\\1.0", L"InstallDirectory", L"bin", L"", L"SQLServer"},
    {L"mssdmn", L"SOFTWARE\\Microsoft\\Search\\1.0", L"InstallDirectory", L"bin", L"", L"SharePointPortalServer"},
    {L"mssdmn", L"SOFTWARE\\Microsoft\\Sharepoint Portal Server", L"InstallPath", L"bin", L"SPSSearch",
     L"98de934c-bf6f-4593-be1c-24ee02ee2853"},
    {L"mssdmn", L"SOFTWARE\\Microsoft\\Office Server\\12.0", L"InstallPath", L"bin",
     L"Office Server\\12.0\\Search\\Setup", L"c41e73ad-8588-4b1d-a7a2-01371da392df"},
    {L"mssdmn", L"SOFTWARE\\Microsoft\\Shared Tools\\Web Server Extensions\\12.0", L"Location", L"bin",
     L"Shared Tools\\Web Server Extensions\\12.0\\Search\\Setup", L""},
    {L"WindowsSearchFilter", L"SOFTWARE\\Microsoft\\RSSearch\\InstallDirectory", L"", L"", L"RSSearch", L"RSApp"},
};
static_assert(sizeof(kProductProfiles) / sizeof(kProductProfiles[0]) ==
                  static_cast<size_t>(SearchProduct::MSNDesktopSearch) + 1,
              "one profile per product");
}

const ProductProfile& GetProductProfile(SearchProduct product)
{
    return kProductProfiles[static_cast<size_t>(product)];
}
