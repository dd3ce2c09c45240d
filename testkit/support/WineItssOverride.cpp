#include "support/WineItssOverride.h"

#include "crawler/IITStorage.h"

WineItssOverride::WineItssOverride()
{
    static const HMODULE itss = LoadLibraryW(L"itss.dll");
    if (!itss)
        return;
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(itss, "DllGetClassObject")));
    if (!get || FAILED(get(CLSID_ITStorage, IID_IClassFactory, m_factory.put_void()))) {
        m_factory.detach();
        return;
    }
    m_override = std::make_unique<ClassObjectOverride>(CLSID_ITStorage, m_factory.get());
}
