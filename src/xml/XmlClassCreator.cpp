#include "xml/XmlClassCreator.h"

namespace {
XmlClassCreatorFn g_creator = CoCreateInstance;
}

HRESULT CreateXmlClassInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    return g_creator(clsid, outer, context, iid, object);
}

XmlClassCreatorFn SetXmlClassCreator(XmlClassCreatorFn creator)
{
    XmlClassCreatorFn previous = g_creator;
    g_creator = creator ? creator : CoCreateInstance;
    return previous;
}
