#include "registration/HandlerRegistration.h"

#include "registration/ClassesRoot.h"
#include "registration/KeyPath.h"
#include "util/strings/BoundedString.h"

namespace {
// ProgIDs and extensions of 260 characters or more are refused outright.
bool NameFits(const wchar_t* name)
{
    size_t length = 0;
    return SUCCEEDED(BoundedLength(name, KeyPath::kCapacity - 1, &length));
}

// Opens (open-only) or creates a document-type key, and gives a key it created
// its description when there is one. In open-only mode a missing key is not an
// error: `missing` tells the caller to stop quietly.
LONG OpenOrCreate(const wchar_t* path, bool openOnly, const wchar_t* descriptionIfNew, RegKey& key, bool& missing)
{
    missing = false;
    if (openOnly) {
        const LONG rc = ClassesRoot::Open(path, key);
        if (rc == ERROR_FILE_NOT_FOUND) {
            missing = true;
            return ERROR_SUCCESS;
        }
        return rc;
    }
    bool created = false;
    const LONG rc = ClassesRoot::Create(path, key, &created);
    if (rc != ERROR_SUCCESS || !created || !descriptionIfNew)
        return rc;
    return ClassesRoot::WriteString(key.get(), nullptr, descriptionIfNew);
}

// Before our link replaces another product's handler on an extension, the
// displaced handler is noted beside it, so that unregistration can give the
// extension back to that product instead of leaving it without a filter. A link
// that already names our handler (registering again, or the other bitness's DLL)
// keeps the note it has.
LONG RememberDisplacedHandler(HKEY link, const wchar_t* handlerClass)
{
    wchar_t current[ClassesRoot::kValueCapacity];
    bool found = false;
    // A value that cannot be read names no handler to give back.
    if (ClassesRoot::ReadDefault(link, current, found) != ERROR_SUCCESS || !found ||
        ClassesRoot::SameName(current, handlerClass))
        return ERROR_SUCCESS;
    return ClassesRoot::WriteString(link, kPreviousHandlerValue, current);
}
}

LONG RegisterClassPersistentHandler(const DocumentTypeRow& row, const wchar_t* handlerClass,
                                    const wchar_t* classOverride, bool openOnly, bool describeNew)
{
    KeyPath path(kClsidKey);
    if (!path.AppendKey(classOverride ? classOverride : row.documentClass))
        return ERROR_INSUFFICIENT_BUFFER;
    {
        RegKey key;
        bool missing = false;
        const wchar_t* description = (!classOverride && describeNew) ? row.classDescription : nullptr;
        const LONG rc = OpenOrCreate(path.Get(), openOnly, description, key, missing);
        if (rc != ERROR_SUCCESS || missing)
            return rc;
    }
    if (!path.AppendKey(kPersistentHandlerKey))
        return ERROR_INSUFFICIENT_BUFFER;
    RegKey handler;
    const LONG rc = ClassesRoot::Create(path.Get(), handler);
    if (rc != ERROR_SUCCESS)
        return rc;
    return ClassesRoot::WriteString(handler.get(), nullptr, handlerClass);
}

LONG RegisterProgIdHandler(const DocumentTypeRow& row, const wchar_t* handlerClass, const wchar_t* progIdOverride,
                           bool openOnly)
{
    const wchar_t* progId = progIdOverride ? progIdOverride : row.progId;
    if (!NameFits(progId))
        return ERROR_INSUFFICIENT_BUFFER;
    KeyPath path(progId);
    {
        RegKey key;
        bool missing = false;
        const LONG rc = OpenOrCreate(path.Get(), openOnly, progIdOverride ? nullptr : row.description, key, missing);
        if (rc != ERROR_SUCCESS || missing)
            return rc;
    }
    if (!path.AppendKey(kClsidKey))
        return ERROR_INSUFFICIENT_BUFFER;
    RegKey clsid;
    bool missing = false;
    LONG rc = OpenOrCreate(path.Get(), openOnly, nullptr, clsid, missing);
    if (rc != ERROR_SUCCESS || missing)
        return rc;

    wchar_t classId[ClassesRoot::kValueCapacity];
    bool found = false;
    rc = ClassesRoot::ReadDefault(clsid.get(), classId, found);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!found) {
        if (openOnly)
            return ERROR_SUCCESS;
        rc = ClassesRoot::WriteString(clsid.get(), nullptr, row.documentClass);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    clsid.reset();
    return RegisterClassPersistentHandler(row, handlerClass, found ? classId : nullptr, openOnly, true);
}

LONG RegisterExtensionHandler(const DocumentTypeRow& row, const wchar_t* handlerClass, bool openOnly, bool overwrite)
{
    if (!NameFits(row.extension))
        return ERROR_INSUFFICIENT_BUFFER;
    KeyPath path(row.extension);
    wchar_t progId[ClassesRoot::kValueCapacity] = {};
    bool found = false;
    {
        RegKey key;
        bool created = false;
        LONG rc = ClassesRoot::Create(path.Get(), key, &created);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (!created) {
            rc = ClassesRoot::ReadDefault(key.get(), progId, found);
            if (rc == ClassesRoot::kWrongType || (rc != ERROR_SUCCESS && openOnly))
                return rc;
            if (rc != ERROR_SUCCESS)
                found = false;
        }
        if (!found && !openOnly) {
            rc = ClassesRoot::WriteString(key.get(), nullptr, row.progId);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
    }
    if (!path.AppendKey(kPersistentHandlerKey))
        return ERROR_INSUFFICIENT_BUFFER;
    {
        RegKey handler;
        bool created = false;
        LONG rc = ClassesRoot::Create(path.Get(), handler, &created);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (overwrite || created) {
            if (!created) {
                rc = RememberDisplacedHandler(handler.get(), handlerClass);
                if (rc != ERROR_SUCCESS)
                    return rc;
            }
            rc = ClassesRoot::WriteString(handler.get(), nullptr, handlerClass);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
    }
    if (found || !openOnly)
        return RegisterProgIdHandler(row, handlerClass, found ? progId : nullptr, openOnly);
    return ERROR_SUCCESS;
}
