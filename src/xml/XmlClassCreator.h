#pragma once
#include <objbase.h>

// Every MSXML object of the system is created through this one call, so tests
// can stand in for a machine without MSXML (Wine always has the 3.0 classes).
using XmlClassCreatorFn = HRESULT(STDAPICALLTYPE*)(REFCLSID clsid, IUnknown* outer, DWORD context,
                                                   REFIID iid, void** object);

HRESULT CreateXmlClassInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Replaces the creator (null restores CoCreateInstance); returns the one replaced.
XmlClassCreatorFn SetXmlClassCreator(XmlClassCreatorFn creator);
