#pragma once
#include <windows.h>

#include "registration/RegistrationTable.h"

// Links a document type to the persistent handler. In open-only mode the
// document-type keys (ProgID, its CLSID key, the document class) are only
// updated where they exist; otherwise missing ones are created, and new ones
// described from the row. Each returns 0 or a Win32 error code; a document-type
// default value that is not a string is E_FAIL.

// Writes HKCR\CLSID\<class>\PersistentHandler = handlerClass, for the row's
// document class or classOverride when given.
LONG RegisterClassPersistentHandler(const DocumentTypeRow& row, const wchar_t* handlerClass,
                                    const wchar_t* classOverride, bool openOnly, bool describeNew);

// Follows HKCR\<ProgID>\CLSID (the row's ProgID or progIdOverride) to its
// class and registers the handler there.
LONG RegisterProgIdHandler(const DocumentTypeRow& row, const wchar_t* handlerClass, const wchar_t* progIdOverride,
                           bool openOnly);

// Writes HKCR\<extension>\PersistentHandler (kept as it is when overwrite is
// clear and it existed), noting another product's handler that it replaces, and
// follows the extension's ProgID.
LONG RegisterExtensionHandler(const DocumentTypeRow& row, const wchar_t* handlerClass, bool openOnly, bool overwrite);
