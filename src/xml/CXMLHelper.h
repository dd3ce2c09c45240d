#pragma once
#include <windows.h>
#include <msxml2.h>

#include <string>

#include "util/owners/ComPtr.h"

// One in-memory MSXML document (4.0, else 3.0): start it with an empty root,
// load text into it, reach its root and make elements. Failures of the document
// object model are raised as CComError, except in LoadXml.
class CXMLHelper {
public:
    // Raises CComError with the 3.0 creation's HRESULT when neither class exists.
    CXMLHelper(bool freeThreaded, bool async);
    virtual ~CXMLHelper() = default;
    CXMLHelper(const CXMLHelper&) = delete;
    CXMLHelper& operator=(const CXMLHelper&) = delete;

    bool CreateRoot(const std::wstring& rootName);
    bool LoadXml(const std::wstring& text);
    // Null when the document has no root element.
    ComPtr<IXMLDOMNode> GetRoot();
    // A new element owned by the document, not yet inserted anywhere.
    ComPtr<IXMLDOMElement> CreateElement(const std::wstring& name);

private:
    ComPtr<IXMLDOMDocument> m_document;
};
