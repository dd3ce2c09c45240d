#include "support/WineItssOverride.h"

#include "crawler/IITStorage.h"
#include "support/ClassObject.h"

WineItssOverride::WineItssOverride()
{
    static const HMODULE itss = LoadLibraryW(L"itss.dll");
    if (FAILED(ClassFactory(ClassObjectExport(itss), CLSID_ITStorage, m_factory)))
        return;
    m_override = std::make_unique<ClassObjectOverride>(CLSID_ITStorage, m_factory.get());
}
