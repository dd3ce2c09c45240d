#include "environment/VerifyFileTrust.h"

#include <wintrust.h>

#include "util/owners/LibraryHandle.h"

namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2
GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

// Null: WinVerifyTrust, looked up for each call.
WinVerifyTrustFn g_verifier = nullptr;

}  // namespace

WinVerifyTrustFn SetTrustVerifier(WinVerifyTrustFn verifier)
{
    WinVerifyTrustFn previous = g_verifier;
    g_verifier = verifier;
    return previous;
}

BOOL VerifyFileTrust(const wchar_t* path, BOOL showUi)
{
    if (!path || !*path)
        return FALSE;
    LibraryHandle wintrust;
    WinVerifyTrustFn verify = g_verifier;
    if (!verify) {
        wintrust.reset(LoadLibraryW(L"wintrust.dll"));
        if (!wintrust)
            return FALSE;
        verify = reinterpret_cast<WinVerifyTrustFn>(
            reinterpret_cast<void*>(GetProcAddress(wintrust.get(), "WinVerifyTrust")));
        if (!verify)
            return FALSE;
    }

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
