#include "xml/CXMLAttributesHelper.h"

#include "util/BStr.h"
#include "xml/CComError.h"

namespace {

BStr MakeBStr(const std::wstring& text)
{
    BStr bstr(text.c_str());
    if (!bstr)
        throw CComError(E_OUTOFMEMORY, IID_IXMLDOMNode);
    return bstr;
}

}  // namespace

CXMLAttributesHelper::CXMLAttributesHelper(IXMLDOMNode* node)
{
    m_node.copy_from(node);
}

ComPtr<IXMLDOMNamedNodeMap> CXMLAttributesHelper::Attributes()
{
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    CComError::ThrowIfFailed(m_node->get_attributes(attributes.put()), IID_IXMLDOMNode);
    return attributes;
}

void CXMLAttributesHelper::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (!m_node)
        return;
    // Only elements carry an attribute map; other nodes have nothing to set.
    ComPtr<IXMLDOMNamedNodeMap> attributes = Attributes();
    if (!attributes)
        return;

    BStr bstrName = MakeBStr(name);
    ComPtr<IXMLDOMNode> attribute;
    CComError::ThrowIfFailed(attributes->getNamedItem(bstrName.get(), attribute.put()), IID_IXMLDOMNamedNodeMap);
    if (!attribute) {
        ComPtr<IXMLDOMDocument> document;
        CComError::ThrowIfFailed(m_node->get_ownerDocument(document.put()), IID_IXMLDOMNode);
        if (!document)
            return;
        ComPtr<IXMLDOMAttribute> created;
        CComError::ThrowIfFailed(document->createAttribute(bstrName.get(), created.put()), IID_IXMLDOMDocument);
        if (!created)
            return;
        ComPtr<IXMLDOMNode> createdNode;
        CComError::ThrowIfFailed(created->QueryInterface(IID_IXMLDOMNode, createdNode.put_void()),
                                 IID_IXMLDOMAttribute);
        ComPtr<IXMLDOMNode> added;
        CComError::ThrowIfFailed(attributes->setNamedItem(createdNode.get(), added.put()), IID_IXMLDOMNamedNodeMap);
        attribute = createdNode;
    }

    BStr bstrValue = MakeBStr(value);
    CComError::ThrowIfFailed(attribute->put_text(bstrValue.get()), IID_IXMLDOMNode);
}

std::wstring CXMLAttributesHelper::GetAttribute(const std::wstring& name)
{
    if (!m_node)
        return std::wstring();
    ComPtr<IXMLDOMNamedNodeMap> attributes = Attributes();
    if (!attributes)
        return std::wstring();

    BStr bstrName = MakeBStr(name);
    ComPtr<IXMLDOMNode> attribute;
    CComError::ThrowIfFailed(attributes->getNamedItem(bstrName.get(), attribute.put()), IID_IXMLDOMNamedNodeMap);
    if (!attribute)
        return std::wstring();
    BStr text;
    CComError::ThrowIfFailed(attribute->get_text(text.put()), IID_IXMLDOMNode);
    return text ? std::wstring(text.get(), SysStringLen(text.get())) : std::wstring();
}
