#include "xml/CXMLAttributesHelper.h"

#include "util/owners/BStr.h"
#include "util/com/CComError.h"

namespace {

BStr MakeBStr(const std::wstring& text)
{
    BStr bstr(SysAllocString(text.c_str()));
    if (!bstr)
        throw CComError(E_OUTOFMEMORY, IID_IXMLDOMNode);
    return bstr;
}

ComPtr<IXMLDOMNode> NamedItem(IXMLDOMNamedNodeMap* attributes, const BStr& name)
{
    ComPtr<IXMLDOMNode> item;
    CComError::ThrowIfFailed(
        item.receive([&](IXMLDOMNode** out) { return attributes->getNamedItem(name.get(), out); }),
        IID_IXMLDOMNamedNodeMap);
    return item;
}

}  // namespace

CXMLAttributesHelper::CXMLAttributesHelper(IXMLDOMNode* node)
{
    m_node.copy_from(node);
}

ComPtr<IXMLDOMNamedNodeMap> CXMLAttributesHelper::Attributes()
{
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    CComError::ThrowIfFailed(
        attributes.receive([this](IXMLDOMNamedNodeMap** out) { return m_node->get_attributes(out); }),
        IID_IXMLDOMNode);
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
    ComPtr<IXMLDOMNode> attribute = NamedItem(attributes.get(), bstrName);
    if (!attribute) {
        ComPtr<IXMLDOMDocument> document;
        CComError::ThrowIfFailed(
            document.receive([this](IXMLDOMDocument** out) { return m_node->get_ownerDocument(out); }),
            IID_IXMLDOMNode);
        if (!document)
            return;
        ComPtr<IXMLDOMAttribute> created;
        CComError::ThrowIfFailed(created.receive([&](IXMLDOMAttribute** out) {
            return document->createAttribute(bstrName.get(), out);
        }),
                                 IID_IXMLDOMDocument);
        if (!created)
            return;
        ComPtr<IXMLDOMNode> createdNode;
        CComError::ThrowIfFailed(createdNode.receive([&](IXMLDOMNode** out) {
            return created->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(out));
        }),
                                 IID_IXMLDOMAttribute);
        ComPtr<IXMLDOMNode> added;
        CComError::ThrowIfFailed(
            added.receive([&](IXMLDOMNode** out) { return attributes->setNamedItem(createdNode.get(), out); }),
            IID_IXMLDOMNamedNodeMap);
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
    ComPtr<IXMLDOMNode> attribute = NamedItem(attributes.get(), bstrName);
    if (!attribute)
        return std::wstring();
    BStr text;
    CComError::ThrowIfFailed(text.receive([&](BSTR* out) { return attribute->get_text(out); }), IID_IXMLDOMNode);
    return text ? std::wstring(text.get(), SysStringLen(text.get())) : std::wstring();
}
