#pragma once
#include <windows.h>

// The search products that keep filter tables of their own.
enum class SearchProduct {
    SQLServer2000,
    Sharepoint2001,
    Sharepoint2003,
    OfficeServer12,
    WindowsServerExtensions12,
    MSNDesktopSearch,
};

// Where a search product keeps its search process and its filter tables.
struct ProductProfile {
    // Base name, without extension, of the product's search process.
    const wchar_t* processName;
    // Key under HKEY_LOCAL_MACHINE holding the install location.
    const wchar_t* installKey;
    // Value under installKey; empty: the default value.
    const wchar_t* installValue;
    // Folder below the install location that holds the search process.
    const wchar_t* programSubFolder;
    // Segment between "SOFTWARE\Microsoft" and "\ContentIndexCommon".
    const wchar_t* productKey;
    const wchar_t* applicationName;
};

const ProductProfile& GetProductProfile(SearchProduct product);
