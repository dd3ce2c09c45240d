#include "registration/HandlerRemoval.h"

#include <iterator>

#include "registration/ClassesRoot.h"
#include "registration/KeyChain.h"
#include "registration/KeyPath.h"

namespace {
// Room for any key name (255 characters at most).
constexpr DWORD kNameCapacity = 256;

LONG EnumKey(HKEY parent, DWORD index, wchar_t (&name)[kNameCapacity])
{
    DWORD length = kNameCapacity;
    return RegEnumKeyExW(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

// Whether HKCR\<path> has a string default value equal to `want`. A key or
// value that cannot be read is reported through readFailure.
bool DefaultNames(const KeyPath& path, const wchar_t* want, LONG* readFailure = nullptr)
{
    if (!path.Ok())
        return false;
    RegKey key;
    if (ClassesRoot::Open(path.Get(), key) != ERROR_SUCCESS)
        return false;
    wchar_t value[ClassesRoot::kValueCapacity];
    bool found = false;
    const LONG rc = ClassesRoot::ReadDefault(key.get(), value, found);
    // A value of another type, or longer than any class id, is not the one looked for.
    if (rc != ERROR_SUCCESS && rc != ClassesRoot::kWrongType && rc != ERROR_MORE_DATA && readFailure)
        *readFailure = rc;
    return rc == ERROR_SUCCESS && found && ClassesRoot::SameName(value, want);
}
}

LONG UnregisterPersistentHandler(const PersistentHandlerRecord& handler)
{
    const KeyChainLink chain[] = {{handler.handlerClass, handler.handlerName},
                                  {kPersistentAddinsKey, nullptr},
                                  {kIFilterAddinKey, handler.filterClass}};
    LONG failure = DeleteKeyChain(chain, std::size(chain));

    RegKey classes;
    LONG rc = ClassesRoot::Open(kClsidKey, classes);
    if (rc != ERROR_SUCCESS)
        return rc;
    wchar_t name[kNameCapacity];
    for (DWORD index = 0;;) {
        rc = EnumKey(classes.get(), index, name);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;

        KeyPath classPath(kClsidKey);
        classPath.AppendKey(name);
        KeyPath handlerPath = classPath;
        handlerPath.AppendKey(kPersistentHandlerKey);
        if (!DefaultNames(handlerPath, handler.handlerClass, &failure)) {
            ++index;
            continue;
        }
        RegKey cls;
        rc = ClassesRoot::Open(classPath.Get(), cls);
        if (rc == ERROR_SUCCESS)
            rc = RegDeleteKeyW(cls.get(), kPersistentHandlerKey);
        if (rc != ERROR_SUCCESS) {
            failure = rc;
            ++index;
            continue;
        }
        const bool empty = !ClassesRoot::HasSubkeys(cls.get());
        cls.reset();
        if (empty)
            RemoveClassAndProgIds(name);
        // Keys were deleted: indexes have moved.
        index = 0;
    }
    return failure;
}

LONG RemoveClassAndProgIds(const wchar_t* classId)
{
    {
        RegKey classes;
        if (ClassesRoot::Open(kClsidKey, classes) != ERROR_SUCCESS)
            return ERROR_SUCCESS;
        // While the class stays, the ProgIDs that name it are still right.
        const LONG rc = RegDeleteKeyW(classes.get(), classId);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    // ProgIDs are shared by both registry views: while the other view still holds
    // the class, they are still right there.
    KeyPath classPath(kClsidKey);
    if (!classPath.AppendKey(classId) || ClassesRoot::OtherViewHas(classPath.Get()))
        return ERROR_SUCCESS;
    wchar_t name[kNameCapacity];
    for (DWORD index = 0;;) {
        const LONG rc = EnumKey(HKEY_CLASSES_ROOT, index, name);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;

        KeyPath clsidPath(name);
        clsidPath.AppendKey(kClsidKey);
        RegKey progId;
        if (!DefaultNames(clsidPath, classId) || ClassesRoot::Open(name, progId) != ERROR_SUCCESS ||
            RegDeleteKeyW(progId.get(), kClsidKey) != ERROR_SUCCESS) {
            ++index;
            continue;
        }
        const bool empty = !ClassesRoot::HasSubkeys(progId.get());
        progId.reset();
        if (empty)
            RemoveProgIdAndExtensions(name);
        index = 0;
    }
}

LONG RemoveProgIdAndExtensions(const wchar_t* progId)
{
    // While the ProgID stays, the extensions that name it are still right.
    const LONG deleted = RegDeleteKeyW(HKEY_CLASSES_ROOT, progId);
    if (deleted != ERROR_SUCCESS)
        return deleted;
    wchar_t name[kNameCapacity];
    for (DWORD index = 0;;) {
        const LONG rc = EnumKey(HKEY_CLASSES_ROOT, index, name);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;

        if (!DefaultNames(KeyPath(name), progId)) {
            ++index;
            continue;
        }
        RegKey extension;
        if (ClassesRoot::Open(name, extension) != ERROR_SUCCESS) {
            ++index;
            continue;
        }
        RegDeleteValueW(extension.get(), nullptr);
        // Only a key with nothing left goes: other values in it belong to others.
        const bool empty = ClassesRoot::IsEmpty(extension.get());
        extension.reset();
        if (empty && RegDeleteKeyW(HKEY_CLASSES_ROOT, name) == ERROR_SUCCESS)
            index = 0;
        else
            ++index;
    }
}
