#include "registration/KeyChain.h"

#include "registration/ClassesRoot.h"
#include "registration/KeyPath.h"
#include "registration/RegistrationTable.h"

namespace {
// HKCR\CLSID\<name 1>\...\<name count>.
KeyPath ChainPath(const KeyChainLink* links, size_t count)
{
    KeyPath path(kClsidKey);
    for (size_t i = 0; i < count; ++i)
        path.AppendKey(links[i].name);
    return path;
}
}

LONG CreateKeyChain(const KeyChainLink* links, size_t count)
{
    KeyPath path(kClsidKey);
    for (size_t i = 0; i < count; ++i) {
        if (!path.AppendKey(links[i].name))
            return ERROR_INSUFFICIENT_BUFFER;
        RegKey key;
        LONG rc = ClassesRoot::Create(path.Get(), key);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (links[i].value) {
            rc = ClassesRoot::WriteString(key.get(), nullptr, links[i].value);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
    }
    return ERROR_SUCCESS;
}

LONG DeleteKeyChain(const KeyChainLink* links, size_t count)
{
    if (count == 0)
        return ERROR_INVALID_PARAMETER;
    const KeyPath deepest = ChainPath(links, count);
    if (!deepest.Ok())
        return ERROR_INSUFFICIENT_BUFFER;
    {
        RegKey key;
        const LONG rc = ClassesRoot::Open(deepest.Get(), key);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    // From the deepest key's parent up to HKCR\CLSID\<name 1>: delete the child.
    for (size_t parent = count - 1; parent >= 1; --parent) {
        RegKey key;
        LONG rc = ClassesRoot::Open(ChainPath(links, parent).Get(), key);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = RegDeleteKeyW(key.get(), links[parent].name);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    RegKey classes;
    const LONG rc = ClassesRoot::Open(kClsidKey, classes);
    if (rc != ERROR_SUCCESS)
        return rc;
    return RegDeleteKeyW(classes.get(), links[0].name);
}

LONG SetThreadingModel(const wchar_t* classId, const wchar_t* model)
{
    KeyPath path(kClsidKey);
    if (!path.AppendKey(classId) || !path.AppendKey(kInprocServerKey))
        return ERROR_INSUFFICIENT_BUFFER;
    RegKey key;
    const LONG rc = ClassesRoot::Open(path.Get(), key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!model) {
        RegDeleteValueW(key.get(), kThreadingModelValue);  // already gone is fine
        return ERROR_SUCCESS;
    }
    return ClassesRoot::WriteString(key.get(), kThreadingModelValue, model);
}
