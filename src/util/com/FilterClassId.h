#pragma once
#include <guiddef.h>

// The one class this module serves: {7A3E19C4-2B6D-4F81-9C0A-5E2D8B4F1A63}.
constexpr GUID CLSID_TavrinolexFilter = {
    0x7A3E19C4, 0x2B6D, 0x4F81, {0x9C, 0x0A, 0x5E, 0x2D, 0x8B, 0x4F, 0x1A, 0x63}};
constexpr const wchar_t kFilterClsidString[] = L"{7A3E19C4-2B6D-4F81-9C0A-5E2D8B4F1A63}";
