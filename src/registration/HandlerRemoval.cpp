#include "registration/HandlerRemoval.h"

#include <iterator>

#include "registration/ClassesRoot.h"
#include "registration/KeyChain.h"
#include "registration/KeyPath.h"

namespace {
// Room for any key name (255 characters at most).
constexpr DWORD kNameCapacity = 256;

// Calls visit(name) for each subkey of parent. visit answers whether it
// deleted keys there; the walk then starts over, since the indexes have moved.
template <typename Visit>
LONG ForEachSubkey(HKEY parent, Visit&& visit)
{
    wchar_t name[kNameCapacity];
    for (DWORD index = 0;;) {
        DWORD length = kNameCapacity;
        const LONG rc = RegEnumKeyExW(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        index = visit(static_cast<const wchar_t*>(name)) ? 0 : index + 1;
    }
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
    rc = ForEachSubkey(classes.get(), [&](const wchar_t* name) {
        KeyPath classPath(kClsidKey);
        classPath.AppendKey(name);
        KeyPath handlerPath = classPath;
        handlerPath.AppendKey(kPersistentHandlerKey);
        if (!DefaultNames(handlerPath, handler.handlerClass, &failure))
            return false;
        RegKey cls;
        LONG deleted = ClassesRoot::Open(classPath.Get(), cls);
        if (deleted == ERROR_SUCCESS)
            deleted = RegDeleteKeyW(cls.get(), kPersistentHandlerKey);
        if (deleted != ERROR_SUCCESS) {
            failure = deleted;
            return false;
        }
        const bool empty = !ClassesRoot::HasSubkeys(cls.get());
        cls.reset();
        if (empty)
            RemoveClassAndProgIds(name);
        return true;
    });
    return rc != ERROR_SUCCESS ? rc : failure;
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
    return ForEachSubkey(HKEY_CLASSES_ROOT, [classId](const wchar_t* name) {
        KeyPath clsidPath(name);
        clsidPath.AppendKey(kClsidKey);
        RegKey progId;
        if (!DefaultNames(clsidPath, classId) || ClassesRoot::Open(name, progId) != ERROR_SUCCESS ||
            RegDeleteKeyW(progId.get(), kClsidKey) != ERROR_SUCCESS)
            return false;
        const bool empty = !ClassesRoot::HasSubkeys(progId.get());
        progId.reset();
        if (empty)
            RemoveProgIdAndExtensions(name);
        return true;
    });
}

LONG RemoveProgIdAndExtensions(const wchar_t* progId)
{
    // While the ProgID stays, the extensions that name it are still right.
    const LONG deleted = RegDeleteKeyW(HKEY_CLASSES_ROOT, progId);
    if (deleted != ERROR_SUCCESS)
        return deleted;
    return ForEachSubkey(HKEY_CLASSES_ROOT, [progId](const wchar_t* name) {
        RegKey extension;
        if (!DefaultNames(KeyPath(name), progId) || ClassesRoot::Open(name, extension) != ERROR_SUCCESS)
            return false;
        RegDeleteValueW(extension.get(), nullptr);
        // Only a key with nothing left goes: other values in it belong to others.
        const bool empty = ClassesRoot::IsEmpty(extension.get());
        extension.reset();
        return empty && RegDeleteKeyW(HKEY_CLASSES_ROOT, name) == ERROR_SUCCESS;
    });
}
