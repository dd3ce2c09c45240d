#include "environment/VerifyFileTrust.h"

#include <wintrust.h>

#include "util/LibraryHandle.h"

namespace {

using WinVerifyTrustFn = LONG(WINAPI*)(HWND window, GUID* action, void* data);

// WINTRUST_ACTION_GENERIC_VERIFY_V2
GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

}  // namespace

BOOL VerifyFileTrust(const wchar_t* path, BOOL showUi)
{
    if (!path || !*path)
        return FALSE;
    LibraryHandle wintrust(LoadLibraryW(L"wintrust.dll"));
    if (!wintrust)
        return FALSE;
    auto verify = reinterpret_cast<WinVerifyTrustFn>(
        reinterpret_cast<void*>(GetProcAddress(wintrust.get(), "WinVerifyTrust")));
    if (!verify)
        return FALSE;

    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path;

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = showUi ? WTD_UI_ALL : WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;

    GUID action = kGenericVerifyV2;
    return verify(nullptr, &action, &data) == 0 ? TRUE : FALSE;
}
