#pragma once
#include <windows.h>
#include <msxml2.h>

#include <string>

#include "util/owners/ComPtr.h"

// Reads and writes the attributes of one node by name. Failures of the document
// object model are raised as CComError.
class CXMLAttributesHelper {
public:
    // Holds its own reference to the node, which may be null.
    explicit CXMLAttributesHelper(IXMLDOMNode* node);
    virtual ~CXMLAttributesHelper() = default;
    CXMLAttributesHelper(const CXMLAttributesHelper&) = delete;
    CXMLAttributesHelper& operator=(const CXMLAttributesHelper&) = delete;

    // Creates the attribute when absent.
    void SetAttribute(const std::wstring& name, const std::wstring& value);
    // The empty string when the node has no such attribute.
    std::wstring GetAttribute(const std::wstring& name);

private:
    ComPtr<IXMLDOMNamedNodeMap> Attributes();

    ComPtr<IXMLDOMNode> m_node;
};
