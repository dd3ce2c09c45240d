#pragma once
#include <windows.h>
#include <propidl.h>

// Class identifiers of the reference page filters and of the persistent handlers
// that name them, plus the property sets their chunks use.

// {B7AE2FAD-D78E-4147-A86F-9C6B18457EF5}
constexpr CLSID CLSID_ReferenceHtmlFilter = {
    0xB7AE2FAD, 0xD78E, 0x4147, {0xA8, 0x6F, 0x9C, 0x6B, 0x18, 0x45, 0x7E, 0xF5}};
// {02C11C08-399A-4FBF-80CB-64DCF173A986}
constexpr CLSID CLSID_ReferenceTextFilter = {
    0x02C11C08, 0x399A, 0x4FBF, {0x80, 0xCB, 0x64, 0xDC, 0xF1, 0x73, 0xA9, 0x86}};
// HTML classes that take their page one way only, for tests of the ways a
// host falls back; never registered for an extension by the DLL itself.
// {5C0D7E2B-8F3A-4B7E-9D61-2E4C8A1F0B35}: IPersistStream only.
constexpr CLSID CLSID_ReferenceHtmlPersistStreamOnly = {
    0x5C0D7E2B, 0x8F3A, 0x4B7E, {0x9D, 0x61, 0x2E, 0x4C, 0x8A, 0x1F, 0x0B, 0x35}};
// {A3E1C6F4-27D9-4C58-B0E2-7F9A4D3C1E86}: IPersistFile only.
constexpr CLSID CLSID_ReferenceHtmlFileOnly = {
    0xA3E1C6F4, 0x27D9, 0x4C58, {0xB0, 0xE2, 0x7F, 0x9A, 0x4D, 0x3C, 0x1E, 0x86}};
// {9A9C05F7-A02C-4646-A978-A694EF107886}
constexpr CLSID CLSID_ReferenceHtmlHandler = {
    0x9A9C05F7, 0xA02C, 0x4646, {0xA9, 0x78, 0xA6, 0x94, 0xEF, 0x10, 0x78, 0x86}};
// {E483B812-77A8-466F-9792-FF1E75AAE5E2}
constexpr CLSID CLSID_ReferenceTextHandler = {
    0xE483B812, 0x77A8, 0x466F, {0x97, 0x92, 0xFF, 0x1E, 0x75, 0xAA, 0xE5, 0xE2}};

// Text of a document: FMTID_Storage, PID_STG_CONTENTS.
constexpr GUID kStoragePropSet = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr PROPID kContentsPropId = 19;
// FMTID_SummaryInformation: author, subject and keywords of a page.
constexpr GUID kSummaryPropSet = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
// The HTML meta property set, whose properties are named after the meta tag.
constexpr GUID kHtmlMetaPropSet = {0xD1B5D3F0, 0xC0B3, 0x11CF, {0x9A, 0x92, 0x00, 0xA0, 0xC9, 0x08, 0xDB, 0xF1}};
// Property ids in FMTID_SummaryInformation.
constexpr PROPID kSubjectPropId = 3;
constexpr PROPID kAuthorPropId = 4;
constexpr PROPID kKeywordsPropId = 5;
