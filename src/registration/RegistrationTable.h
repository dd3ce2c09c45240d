#pragma once
#include <windows.h>

#include <cstddef>

// The constant registration table that DllRegisterServer and
// DllUnregisterServer loop over.

// A document type whose files the filter handles: the extension, its ProgID
// and the ProgID's document class.
struct DocumentTypeRow {
    const wchar_t* extension;
    const wchar_t* progId;
    const wchar_t* description;
    const wchar_t* documentClass;
    const wchar_t* classDescription;
};

// The persistent handler that lists the filter as its IFilter add-in.
struct PersistentHandlerRecord {
    const wchar_t* handlerClass;
    const wchar_t* handlerName;
    const wchar_t* filterClass;
};

// The filter class and its in-process server.
struct ServerRecord {
    const wchar_t* filterClass;
    const wchar_t* filterName;
    const wchar_t* threadingModel;
};

extern const DocumentTypeRow kDocumentTypes[];
extern const size_t kDocumentTypeCount;
extern const PersistentHandlerRecord kPersistentHandler;
extern const ServerRecord kServer;

// Key and value names the registration uses.
constexpr const wchar_t kIFilterAddinKey[] = L"{89BCB740-6119-101A-BCB7-00DD010655AF}";  // IID_IFilter
constexpr const wchar_t kPersistentAddinsKey[] = L"PersistentAddinsRegistered";
constexpr const wchar_t kPersistentHandlerKey[] = L"PersistentHandler";
constexpr const wchar_t kInprocServerKey[] = L"InprocServer32";
constexpr const wchar_t kThreadingModelValue[] = L"ThreadingModel";
constexpr const wchar_t kClsidKey[] = L"CLSID";
// Kept in HKCR\<extension>\PersistentHandler beside the link: the other product's
// handler that registration displaced there, put back by unregistration.
constexpr const wchar_t kPreviousHandlerValue[] = L"TavrinolexPreviousHandler";
