#pragma once
#include <windows.h>

#include "registration/RegistrationTable.h"

// Deletes the persistent handler's own keys, then takes the handler out of
// every class under HKCR\CLSID that names it, whoever made the class. A class
// left with no subkeys is removed with RemoveClassAndProgIds. Returns 0, or
// the last failure met that may have left the handler behind.
LONG UnregisterPersistentHandler(const PersistentHandlerRecord& handler);

// Deletes HKCR\CLSID\<classId> (only while it has no subkeys), then the CLSID
// link of every ProgID that names it; a ProgID left with no subkeys goes with
// RemoveProgIdAndExtensions.
LONG RemoveClassAndProgIds(const wchar_t* classId);

// Deletes HKCR\<progId> (only while it has no subkeys), then clears the
// default value of every key of HKCR that names it; such a key is deleted when
// nothing at all is left in it.
LONG RemoveProgIdAndExtensions(const wchar_t* progId);
