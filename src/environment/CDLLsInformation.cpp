#include "environment/CDLLsInformation.h"

#include <string>

#include "util/owners/BStr.h"
#include "util/strings/BoundedString.h"
#include "util/com/CComError.h"
#include "util/strings/ReplaceChar.h"
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
    BStr query(SysAllocString(expression));
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
    const DllAnswers* dll = FindOrAddDll(path);
    if (!dll)
        return FALSE;
    return BoundedCopy(path, capacity, dll->display.c_str()) == S_OK ? TRUE : FALSE;
}

BOOL CDLLsInformation::QueryFileStatus(const wchar_t* path, BOOL* found, BOOL* trusted)
{
    if (!m_xmlAvailable)
        return CDLLsInformationBase::QueryFileStatus(path, found, trusted);
    if (!path || path[0] == L'\0' || !found || !trusted)
        return FALSE;
    const DllAnswers* dll = FindOrAddDll(path);
    if (!dll)
        return FALSE;
    *found = dll->found;
    *trusted = dll->trusted;
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
    const ClassAnswers* answers = FindOrAddClass(path, clsid);
    if (!answers)
        return FALSE;
    *persistFile = answers->persistFile;
    *persistStream = answers->persistStream;
    *persistStorage = answers->persistStorage;
    return TRUE;
}

CDLLsInformation::DllAnswers* CDLLsInformation::FindOrAddDll(const wchar_t* path)
{
    wchar_t key[kKeyCapacity] = {};
    if (!PathKey(path, key))
        return nullptr;
    return FindOrAddDll(path, key);
}

CDLLsInformation::DllAnswers* CDLLsInformation::FindOrAddDll(const wchar_t* path, const wchar_t* key)
{
    const auto known = m_dlls.find(key);
    if (known != m_dlls.end())
        return &known->second;

    // Its limits decide which keys the cache takes: every key in the map passed them.
    wchar_t expression[kExpressionCapacity] = {};
    if (!BuildLookup(expression, L"DLL", L"path", key))
        return nullptr;
    ComPtr<IXMLDOMNode> root = m_xmlHelper->GetRoot();
    if (!root)
        throw CComError(E_POINTER, IID_IXMLDOMDocument);  // the cache document never got its root
    ComPtr<IXMLDOMNode> element = SelectChild(root.get(), expression);
    if (!element)
        element = AddDllElement(path, key);
    DllAnswers answers;
    CXMLAttributesHelper attributes(element.get());
    answers.display = attributes.GetAttribute(L"display");
    answers.found = IsYes(attributes.GetAttribute(L"found"));
    answers.trusted = IsYes(attributes.GetAttribute(L"trusted"));
    answers.element = std::move(element);
    return &m_dlls.emplace(key, std::move(answers)).first->second;
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

const CDLLsInformation::ClassAnswers* CDLLsInformation::FindOrAddClass(const wchar_t* path, const wchar_t* clsid)
{
    DllAnswers* dll = FindOrAddDll(path);
    if (!dll)
        return nullptr;

    wchar_t classKey[kClsidCapacity] = {};
    if (BoundedCopy(classKey, kClsidCapacity, clsid) != S_OK)
        return nullptr;
    CharLowerW(classKey);
    const auto known = dll->classes.find(classKey);
    if (known != dll->classes.end())
        return &known->second;

    wchar_t expression[kExpressionCapacity] = {};
    if (!BuildLookup(expression, L"GUID", L"guid", classKey))
        return nullptr;
    ClassAnswers answers;
    ComPtr<IXMLDOMNode> element = SelectChild(dll->element.get(), expression);
    if (element) {
        CXMLAttributesHelper attributes(element.get());
        answers.persistFile = IsYes(attributes.GetAttribute(L"ipersistfile"));
        answers.persistStream = IsYes(attributes.GetAttribute(L"ipersiststream"));
        answers.persistStorage = IsYes(attributes.GetAttribute(L"ipersiststorage"));
    } else {
        element = AppendElement(dll->element.get(), L"GUID");
        CXMLAttributesHelper attributes(element.get());
        attributes.SetAttribute(L"guid", classKey);
        ProbePersistInterfaces(path, classKey, &answers.persistFile, &answers.persistStream, &answers.persistStorage);
        attributes.SetAttribute(L"ipersistfile", YesNo(answers.persistFile));
        attributes.SetAttribute(L"ipersiststream", YesNo(answers.persistStream));
        attributes.SetAttribute(L"ipersiststorage", YesNo(answers.persistStorage));
    }
    return &dll->classes.emplace(classKey, answers).first->second;
}
