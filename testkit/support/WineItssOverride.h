#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "support/ClassObjectOverride.h"
#include "util/owners/ComPtr.h"

// Serves CLSID_ITStorage from Wine's own itss.dll in this process for as long
// as the object lives, ahead of whatever the prefix registers (the stand-in).
// itss.dll is loaded once and kept: Wine's itss.dll, unloaded after use,
// crashes the process later.
class WineItssOverride {
public:
    WineItssOverride();
    bool Ready() const { return m_override && SUCCEEDED(m_override->Result()); }

private:
    ComPtr<IClassFactory> m_factory;
    std::unique_ptr<ClassObjectOverride> m_override;
};
