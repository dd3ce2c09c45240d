#include "xml/CXMLHelper.h"

#include "util/owners/BStr.h"
#include "util/owners/LocalBlock.h"
#include "util/com/CComError.h"
#include "xml/XmlClassCreator.h"
#include "xml/XmlClassIds.h"

CXMLHelper::CXMLHelper(bool freeThreaded, bool async)
{
    const CLSID& preferred = freeThreaded ? XmlClassIds::FreeThreadedDOMDocument40 : XmlClassIds::DOMDocument40;
    const CLSID& fallback = freeThreaded ? XmlClassIds::FreeThreadedDOMDocument30 : XmlClassIds::DOMDocument30;
    const auto create = [this](const CLSID& clsid) {
        return m_document.receive([&clsid](IXMLDOMDocument** out) {
            return CreateXmlClassInstance(clsid, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument, reinterpret_cast<void**>(out));
        });
    };
    if (FAILED(create(preferred)))
        CComError::ThrowIfFailed(create(fallback), IID_IXMLDOMDocument);
    if (!m_document)
        throw CComError(E_POINTER, IID_IXMLDOMDocument);
    CComError::ThrowIfFailed(m_document->put_async(async ? VARIANT_TRUE : VARIANT_FALSE), IID_IXMLDOMDocument);
}

bool CXMLHelper::CreateRoot(const std::wstring& rootName)
{
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(rootName.c_str())};
    LocalBlock<wchar_t> text;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        L"<%1>\n</%1>\n", 0, 0, reinterpret_cast<wchar_t*>(text.put()), 0,
        reinterpret_cast<va_list*>(args));
    if (length == 0 || !text)
        throw CComError(HRESULT_FROM_WIN32(GetLastError()), IID_IXMLDOMDocument);
    return LoadXml(text.get());
}

bool CXMLHelper::LoadXml(const std::wstring& text)
{
    if (text.empty())
        return false;
    BStr bstr(SysAllocString(text.c_str()));
    if (!bstr)
        return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = m_document->loadXML(bstr.get(), &loaded);
    if (FAILED(hr) || loaded == VARIANT_FALSE)
        return false;
    ComPtr<IXMLDOMElement> root;
    return SUCCEEDED(root.receive([this](IXMLDOMElement** out) { return m_document->get_documentElement(out); })) &&
           root;
}

ComPtr<IXMLDOMNode> CXMLHelper::GetRoot()
{
    ComPtr<IXMLDOMElement> root;
    CComError::ThrowIfFailed(root.receive([this](IXMLDOMElement** out) { return m_document->get_documentElement(out); }),
                             IID_IXMLDOMDocument);
    ComPtr<IXMLDOMNode> node;
    if (!root)
        return node;
    const HRESULT hr = node.receive(
        [&root](IXMLDOMNode** out) { return root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out)); });
    if (hr == E_NOINTERFACE)
        return ComPtr<IXMLDOMNode>();
    CComError::ThrowIfFailed(hr, IID_IXMLDOMElement);
    return node;
}

ComPtr<IXMLDOMElement> CXMLHelper::CreateElement(const std::wstring& name)
{
    BStr bstr(SysAllocString(name.c_str()));
    if (!bstr)
        throw CComError(E_OUTOFMEMORY, IID_IXMLDOMDocument);
    ComPtr<IXMLDOMElement> element;
    CComError::ThrowIfFailed(
        element.receive([&](IXMLDOMElement** out) { return m_document->createElement(bstr.get(), out); }),
        IID_IXMLDOMDocument);
    return element;
}
