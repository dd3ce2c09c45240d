#include "environment/CDLLsInformation.h"

#include <string>

#include "util/BStr.h"
#include "util/BoundedString.h"
#include "util/CComError.h"
#include "util/ReplaceChar.h"
#include "xml/CXMLAttributesHelper.h"
#include "xml/XmlClassCreator.h"
#include "xml/XmlClassIds.h"

namespace {

const wchar_t kYes[] = L"yes";
const wchar_t kNo[] = L"no";

const wchar_t* YesNo(BOOL value)
{
    return value ? kYes : kNo;
}

BOOL IsYes(const std::wstring& value)
{
    return value == kYes ? TRUE : FALSE;
}

// Whether an MSXML document class of this version can be created and run.
bool CanRunDocument(REFCLSID clsid)
{
    const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    ComPtr<IUnknown> probe;
    probe.receive([&](IUnknown** out) {
        return CreateXmlClassInstance(clsid, nullptr, context, IID_IUnknown, reinterpret_cast<void**>(out));
    });
    if (!probe || FAILED(OleRun(probe.get())))
        return false;
    ComPtr<IUnknown> document;
    document.receive([&](IUnknown** out) {
        return probe->QueryInterface(XmlClassIds::IXMLDOMDocument2, reinterpret_cast<void**>(out));
    });
    return static_cast<bool>(document);
}

// name[@attribute = "key"]; false when it does not fit. A key with a double
// quote would end the literal early and select some other element, so it is
// refused; no file path or class id holds one.
bool BuildLookup(wchar_t* expression, const wchar_t* element, const wchar_t* attribute, const wchar_t* key)
{
    for (const wchar_t* p = key; *p; ++p) {
        if (*p == L'"')
            return false;
    }
    const wchar_t* const parts[] = {element, L"[@", attribute, L" = \"", key, L"\"]"};
    if (BoundedCopy(expression, CDLLsInformation::kExpressionCapacity, L"") != S_OK)
        return false;
    for (const wchar_t* part : parts) {
        if (BoundedAppend(expression, CDLLsInformation::kExpressionCapacity, part) != S_OK)
            return false;
    }
    return true;
}

// The cache key of a DLL path: paths differing in letter case, or in a
// backslash against an underscore, name one DLL as far as the cache is
// concerned. False when the path does not fit the key's buffer.
bool PathKey(const wchar_t* path, wchar_t (&key)[CDLLsInformation::kKeyCapacity])
{
    if (BoundedCopy(key, CDLLsInformation::kKeyCapacity, path) != S_OK)
        return false;
    CharUpperW(key);
    ReplaceChar(key, L'\\', L'_');
    return true;
}

ComPtr<IXMLDOMNode> SelectChild(IXMLDOMNode* parent, const wchar_t* expression)
{
    BStr query(expression);
    if (!query)
        throw CComError(E_OUTOFMEMORY, IID_IXMLDOMNode);
    ComPtr<IXMLDOMNode> child;
    CComError::ThrowIfFailed(
        child.receive([&](IXMLDOMNode** out) { return parent->selectSingleNode(query.get(), out); }),
        IID_IXMLDOMNode);
    return child;
}

}  // namespace

CDLLsInformation::CDLLsInformation()
{
    m_xmlAvailable = (CanRunDocument(XmlClassIds::DOMDocument40) || CanRunDocument(XmlClassIds::DOMDocument30))
                         ? TRUE
                         : FALSE;
    if (m_xmlAvailable) {
        m_xmlHelper = std::make_unique<CXMLHelper>(true, true);
        m_xmlHelper->CreateRoot(L"DLLS");
    }
}

CDLLsInformation::~CDLLsInformation() = default;

BOOL CDLLsInformation::GetDisplayPath(wchar_t* path, size_t capacity)
{
    if (!m_xmlAvailable)
        return CDLLsInformationBase::GetDisplayPath(path, capacity);
    if (!path || capacity == 0 || capacity > kMaxBoundedCapacity || path[0] == L'\0')
        return FALSE;
    ComPtr<IXMLDOMNode> element = FindOrAddDllElement(path);
    if (!element)
        return FALSE;
    const std::wstring display = CXMLAttributesHelper(element.get()).GetAttribute(L"display");
    return BoundedCopy(path, capacity, display.c_str()) == S_OK ? TRUE : FALSE;
}

BOOL CDLLsInformation::QueryFileStatus(const wchar_t* path, BOOL* found, BOOL* trusted)
{
    if (!m_xmlAvailable)
        return CDLLsInformationBase::QueryFileStatus(path, found, trusted);
    if (!path || path[0] == L'\0' || !found || !trusted)
        return FALSE;
    ComPtr<IXMLDOMNode> element = FindOrAddDllElement(path);
    if (!element)
        return FALSE;
    CXMLAttributesHelper attributes(element.get());
    *found = IsYes(attributes.GetAttribute(L"found"));
    *trusted = IsYes(attributes.GetAttribute(L"trusted"));
    return TRUE;
}

BOOL CDLLsInformation::QueryPersistSupport(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile,
                                           BOOL* persistStream, BOOL* persistStorage)
{
    if (!m_xmlAvailable)
        return CDLLsInformationBase::QueryPersistSupport(path, clsid, persistFile, persistStream, persistStorage);
    if (!path || path[0] == L'\0' || !clsid || clsid[0] == L'\0' || !persistFile || !persistStream ||
        !persistStorage)
        return FALSE;
    ComPtr<IXMLDOMNode> element = FindOrAddGuidElement(path, clsid);
    if (!element)
        return FALSE;
    CXMLAttributesHelper attributes(element.get());
    *persistFile = IsYes(attributes.GetAttribute(L"ipersistfile"));
    *persistStream = IsYes(attributes.GetAttribute(L"ipersiststream"));
    *persistStorage = IsYes(attributes.GetAttribute(L"ipersiststorage"));
    return TRUE;
}

ComPtr<IXMLDOMNode> CDLLsInformation::FindOrAddDllElement(const wchar_t* path)
{
    wchar_t key[kKeyCapacity] = {};
    if (!PathKey(path, key))
        return ComPtr<IXMLDOMNode>();
    return FindOrAddDllElement(path, key);
}

ComPtr<IXMLDOMNode> CDLLsInformation::FindOrAddDllElement(const wchar_t* path, const wchar_t* key)
{
    // Built for known keys too: its limits decide which keys the cache takes.
    wchar_t expression[kExpressionCapacity] = {};
    if (!BuildLookup(expression, L"DLL", L"path", key))
        return ComPtr<IXMLDOMNode>();
    const auto known = m_dllElements.find(key);
    if (known != m_dllElements.end())
        return known->second;

    ComPtr<IXMLDOMNode> root = m_xmlHelper->GetRoot();
    if (!root)
        throw CComError(E_POINTER, IID_IXMLDOMDocument);  // the cache document never got its root
    ComPtr<IXMLDOMNode> element = SelectChild(root.get(), expression);
    if (!element)
        element = AddDllElement(path, key);
    m_dllElements.emplace(key, element);
    return element;
}

ComPtr<IXMLDOMNode> CDLLsInformation::AppendElement(IXMLDOMNode* parent, const wchar_t* name)
{
    ComPtr<IXMLDOMElement> element = m_xmlHelper->CreateElement(name);
    if (!element)
        throw CComError(E_POINTER, IID_IXMLDOMDocument);
    ComPtr<IXMLDOMNode> node;
    CComError::ThrowIfFailed(node.receive([&](IXMLDOMNode** out) {
        return element->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out));
    }),
                             IID_IXMLDOMElement);
    ComPtr<IXMLDOMNode> appended;
    CComError::ThrowIfFailed(
        appended.receive([&](IXMLDOMNode** out) { return parent->appendChild(node.get(), out); }), IID_IXMLDOMNode);
    return node;
}

ComPtr<IXMLDOMNode> CDLLsInformation::AddDllElement(const wchar_t* path, const wchar_t* key)
{
    ComPtr<IXMLDOMNode> root = m_xmlHelper->GetRoot();
    if (!root)
        throw CComError(E_POINTER, IID_IXMLDOMDocument);
    ComPtr<IXMLDOMNode> element = AppendElement(root.get(), L"DLL");
    CXMLAttributesHelper attributes(element.get());
    attributes.SetAttribute(L"path", key);
    attributes.SetAttribute(L"display", path);

    BOOL found = FALSE;
    BOOL trusted = FALSE;
    CDLLsInformationBase::QueryFileStatus(path, &found, &trusted);
    attributes.SetAttribute(L"found", YesNo(found));
    attributes.SetAttribute(L"trusted", YesNo(trusted));
    return element;
}

ComPtr<IXMLDOMNode> CDLLsInformation::FindOrAddGuidElement(const wchar_t* path, const wchar_t* clsid)
{
    wchar_t key[kKeyCapacity] = {};
    if (!PathKey(path, key))
        return ComPtr<IXMLDOMNode>();
    ComPtr<IXMLDOMNode> dll = FindOrAddDllElement(path, key);
    if (!dll)
        return ComPtr<IXMLDOMNode>();

    wchar_t classKey[kClsidCapacity] = {};
    if (BoundedCopy(classKey, kClsidCapacity, clsid) != S_OK)
        return ComPtr<IXMLDOMNode>();
    CharLowerW(classKey);

    wchar_t expression[kExpressionCapacity] = {};
    if (!BuildLookup(expression, L"GUID", L"guid", classKey))
        return ComPtr<IXMLDOMNode>();
    std::pair<std::wstring, std::wstring> both(key, classKey);
    const auto known = m_guidElements.find(both);
    if (known != m_guidElements.end())
        return known->second;

    ComPtr<IXMLDOMNode> element = SelectChild(dll.get(), expression);
    if (!element) {
        element = AppendElement(dll.get(), L"GUID");
        CXMLAttributesHelper attributes(element.get());
        attributes.SetAttribute(L"guid", classKey);
        BOOL persistFile = FALSE;
        BOOL persistStream = FALSE;
        BOOL persistStorage = FALSE;
        ProbePersistInterfaces(path, classKey, &persistFile, &persistStream, &persistStorage);
        attributes.SetAttribute(L"ipersistfile", YesNo(persistFile));
        attributes.SetAttribute(L"ipersiststream", YesNo(persistStream));
        attributes.SetAttribute(L"ipersiststorage", YesNo(persistStorage));
    }
    m_guidElements.emplace(std::move(both), element);
    return element;
}
