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
