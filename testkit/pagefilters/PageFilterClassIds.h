#pragma once
#include <windows.h>

// The classes of the test page filter DLL (TestPageFilters.dll). Each offers
// IFilter; they differ in the persistence interfaces they answer.
namespace PageFilterClassIds {
// IPersistFile, IPersistStream and IPersistStorage.
constexpr CLSID AllPersist = {0xC01E4438, 0x767B, 0x4455, {0xB7, 0x11, 0xC2, 0xC5, 0xC2, 0x43, 0x6E, 0x64}};
constexpr wchar_t AllPersistString[] = L"{C01E4438-767B-4455-B711-C2C5C2436E64}";
// IPersistStream only.
constexpr CLSID StreamOnly = {0xAA684FBA, 0xB783, 0x4B04, {0xBF, 0xD8, 0x6A, 0x7D, 0x44, 0x87, 0xFB, 0x9F}};
constexpr wchar_t StreamOnlyString[] = L"{AA684FBA-B783-4B04-BFD8-6A7D4487FB9F}";
// No persistence interface at all.
constexpr CLSID NoPersist = {0x9878DE49, 0xEB8E, 0x48F6, {0xA8, 0xBB, 0x5A, 0xAC, 0x5E, 0x5F, 0x57, 0x3B}};
constexpr wchar_t NoPersistString[] = L"{9878DE49-EB8E-48F6-A8BB-5AAC5E5F573B}";
// A class object whose CreateInstance always fails.
constexpr CLSID FailingFactory = {0x7C59D8D7, 0x36CA, 0x4C4A, {0x82, 0x60, 0x29, 0x94, 0xC0, 0x3C, 0xAC, 0x4E}};
constexpr wchar_t FailingFactoryString[] = L"{7C59D8D7-36CA-4C4A-8260-2994C03CAC4E}";
// IPersistFile whose Load always fails, like a filter that cannot read the page.
constexpr CLSID LoadFails = {0x4E5C9506, 0x1345, 0x4F09, {0xAC, 0x4F, 0x19, 0x04, 0x09, 0xED, 0x36, 0x2C}};
constexpr wchar_t LoadFailsString[] = L"{4E5C9506-1345-4F09-AC4F-190409ED362C}";
// IPersistFile; the classes below differ only in their identity, which GetClassID
// reports, so a test can tell which registration made a page filter.
constexpr CLSID StandardTables = {0x6F81F7F9, 0x084F, 0x4B3B, {0x91, 0x6D, 0xA6, 0x13, 0x2F, 0xAC, 0xE2, 0xFC}};
constexpr wchar_t StandardTablesString[] = L"{6F81F7F9-084F-4B3B-916D-A6132FACE2FC}";
constexpr CLSID DesktopSearchTables = {0x000BF8F9, 0x527B, 0x4977, {0xB6, 0xA1, 0x31, 0xD9, 0x3A, 0x9D, 0x79, 0x86}};
constexpr wchar_t DesktopSearchTablesString[] = L"{000BF8F9-527B-4977-B6A1-31D93A9D7986}";
constexpr CLSID OfficeServerTables = {0x0A55574A, 0x8596, 0x4510, {0xA0, 0xBB, 0xA8, 0xFF, 0x4E, 0x0B, 0xE4, 0x5D}};
constexpr wchar_t OfficeServerTablesString[] = L"{0A55574A-8596-4510-A0BB-A8FF4E0BE45D}";
constexpr CLSID Sharepoint2003Tables = {0x6CE09121, 0x30BB, 0x477F, {0x96, 0x0C, 0x10, 0x01, 0x6A, 0xF6, 0x10, 0xC3}};
constexpr wchar_t Sharepoint2003TablesString[] = L"{6CE09121-30BB-477F-960C-10016AF610C3}";
}  // namespace PageFilterClassIds

// Test-only exports of TestPageFilters.dll, read by the tests through
// GetProcAddress.
namespace PageFilterExports {
// ULONG WINAPI (): calls of DllGetClassObject since the DLL was loaded.
constexpr char ClassObjectCalls[] = "TestPageFilterClassObjectCalls";
// LONG WINAPI (): live filter objects and class objects.
constexpr char LiveObjects[] = "TestPageFilterLiveObjects";
// LONG WINAPI (): calls made on what a refused DllGetClassObject or
// CreateInstance left in its out slot; any call is a fault of the caller.
constexpr char LeftoverCalls[] = "TestPageFilterLeftoverCalls";
// const wchar_t* WINAPI (): the current directory when the DLL was loaded.
constexpr char LoadDirectory[] = "TestPageFilterLoadDirectory";
// const wchar_t* WINAPI (): the current directory at the last DllGetClassObject.
constexpr char ClassObjectDirectory[] = "TestPageFilterClassObjectDirectory";

using CountFn = LONG(WINAPI*)();
using DirectoryFn = const wchar_t*(WINAPI*)();
}  // namespace PageFilterExports
