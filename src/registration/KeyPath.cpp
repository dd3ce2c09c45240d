#include "registration/KeyPath.h"

#include "util/strings/BoundedString.h"

bool KeyPath::Append(const wchar_t* text)
{
    if (m_ok && FAILED(BoundedAppend(m_path, kCapacity, text ? text : L"")))
        m_ok = false;
    return m_ok;
}

bool KeyPath::AppendKey(const wchar_t* name)
{
    return Append(L"\\") && Append(name);
}
