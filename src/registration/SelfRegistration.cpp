#include "registration/SelfRegistration.h"

#include <olectl.h>

#include <iterator>

#include "registration/ClassesRoot.h"
#include "registration/HandlerRegistration.h"
#include "registration/HandlerRemoval.h"
#include "registration/KeyChain.h"
#include "registration/KeyPath.h"
#include "registration/RegistrationTable.h"
#include "registration/ServerRegistration.h"

namespace {
// Whether HKCR\CLSID\<classId> exists in either registry view.
bool ClassExists(const wchar_t* classId)
{
    KeyPath path(kClsidKey);
    if (!path.AppendKey(classId))
        return false;
    RegKey key;
    return ClassesRoot::Open(path.Get(), key) == ERROR_SUCCESS || ClassesRoot::OtherViewHas(path.Get());
}

// Takes our link off HKCR\<extension>\PersistentHandler. The extension key is
// shared by both registry views on 64-bit Windows: while the DLL of the other
// bitness is still registered (its view still holds our handler class), the link
// serves it and stays. A link that another handler has taken over since is left
// alone. Otherwise the handler that our registration displaced gets the extension
// back while its class is still there, and with none the link goes.
LONG RemoveExtensionHandlerLink(const DocumentTypeRow& row, const wchar_t* handlerClass)
{
    KeyPath path(row.extension);
    if (!path.AppendKey(kPersistentHandlerKey))
        return ERROR_INSUFFICIENT_BUFFER;
    KeyPath handlerClassPath(kClsidKey);
    if (!handlerClassPath.AppendKey(handlerClass))
        return ERROR_INSUFFICIENT_BUFFER;
    if (ClassesRoot::OtherViewHas(handlerClassPath.Get()))
        return ERROR_SUCCESS;
    {
        RegKey handler;
        LONG rc = ClassesRoot::Open(path.Get(), handler);
        if (rc != ERROR_SUCCESS)
            return rc;
        wchar_t value[ClassesRoot::kValueCapacity];
        bool found = false;
        rc = ClassesRoot::ReadDefault(handler.get(), value, found);
        if (rc == ERROR_SUCCESS && found && !ClassesRoot::SameName(value, handlerClass)) {
            // Our note goes with us; the link is theirs.
            RegDeleteValueW(handler.get(), kPreviousHandlerValue);
            return ERROR_SUCCESS;
        }
        wchar_t previous[ClassesRoot::kValueCapacity];
        bool noted = false;
        if (ClassesRoot::ReadString(handler.get(), kPreviousHandlerValue, previous, noted) == ERROR_SUCCESS &&
            noted && !ClassesRoot::SameName(previous, handlerClass) && ClassExists(previous)) {
            rc = ClassesRoot::WriteString(handler.get(), nullptr, previous);
            if (rc != ERROR_SUCCESS)
                return rc;
            return RegDeleteValueW(handler.get(), kPreviousHandlerValue);
        }
    }
    RegKey extension;
    const LONG rc = ClassesRoot::Open(row.extension, extension);
    if (rc != ERROR_SUCCESS)
        return rc;
    return RegDeleteKeyW(extension.get(), kPersistentHandlerKey);
}
}

bool IsOpenOnlyMode(VersionQuery query)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!query || !query(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

HRESULT RegisterFilter(HMODULE module, VersionQuery query)
{
    const PersistentHandlerRecord& handler = kPersistentHandler;
    const KeyChainLink chain[] = {{handler.handlerClass, handler.handlerName},
                                  {kPersistentAddinsKey, nullptr},
                                  {kIFilterAddinKey, handler.filterClass}};
    const LONG handlerResult = CreateKeyChain(chain, std::size(chain));
    const bool openOnly = IsOpenOnlyMode(query);
    if (handlerResult != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    if (RegisterServer(kServer, module) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;

    const DocumentTypeRow* const rows = kDocumentTypes;
    for (size_t i = 0; i < kDocumentTypeCount; ++i) {
        if (RegisterClassPersistentHandler(rows[i], handler.handlerClass, nullptr, openOnly, true) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    for (size_t i = 0; i < kDocumentTypeCount; ++i) {
        if (RegisterProgIdHandler(rows[i], handler.handlerClass, nullptr, openOnly) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    for (size_t i = 0; i < kDocumentTypeCount; ++i) {
        if (RegisterExtensionHandler(rows[i], handler.handlerClass, openOnly, true) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterFilter()
{
    bool failed = UnregisterPersistentHandler(kPersistentHandler) != ERROR_SUCCESS;
    failed |= UnregisterServer(kServer) != ERROR_SUCCESS;
    for (size_t i = 0; i < kDocumentTypeCount; ++i)
        failed |= RemoveExtensionHandlerLink(kDocumentTypes[i], kPersistentHandler.handlerClass) != ERROR_SUCCESS;
    return failed ? S_FALSE : S_OK;
}
