#include "xml/CXMLHelper.h"

#include "util/BStr.h"
#include "util/LocalBlock.h"
#include "xml/CComError.h"
#include "xml/XmlClassCreator.h"
#include "xml/XmlClassIds.h"

CXMLHelper::CXMLHelper(bool freeThreaded, bool async)
{
    const CLSID& preferred = freeThreaded ? XmlClassIds::FreeThreadedDOMDocument40 : XmlClassIds::DOMDocument40;
    const CLSID& fallback = freeThreaded ? XmlClassIds::FreeThreadedDOMDocument30 : XmlClassIds::DOMDocument30;
    HRESULT hr = CreateXmlClassInstance(preferred, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument, m_document.put_void());
    if (FAILED(hr)) {
        hr = CreateXmlClassInstance(fallback, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument, m_document.put_void());
        CComError::ThrowIfFailed(hr, IID_IXMLDOMDocument);
    }
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
    BStr bstr(text.c_str());
    if (!bstr)
        return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = m_document->loadXML(bstr.get(), &loaded);
    if (FAILED(hr) || loaded == VARIANT_FALSE)
        return false;
    ComPtr<IXMLDOMElement> root;
    return SUCCEEDED(m_document->get_documentElement(root.put())) && root;
}

ComPtr<IXMLDOMNode> CXMLHelper::GetRoot()
{
    ComPtr<IXMLDOMElement> root;
    CComError::ThrowIfFailed(m_document->get_documentElement(root.put()), IID_IXMLDOMDocument);
    ComPtr<IXMLDOMNode> node;
    if (!root)
        return node;
    const HRESULT hr = root->QueryInterface(IID_IXMLDOMNode, node.put_void());
    if (hr == E_NOINTERFACE)
        return ComPtr<IXMLDOMNode>();
    CComError::ThrowIfFailed(hr, IID_IXMLDOMElement);
    return node;
}

ComPtr<IXMLDOMElement> CXMLHelper::CreateElement(const std::wstring& name)
{
    BStr bstr(name.c_str());
    if (!bstr)
        throw CComError(E_OUTOFMEMORY, IID_IXMLDOMDocument);
    ComPtr<IXMLDOMElement> element;
    CComError::ThrowIfFailed(m_document->createElement(bstr.get(), element.put()), IID_IXMLDOMDocument);
    return element;
}
