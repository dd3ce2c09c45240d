#pragma once
#include <windows.h>
#include <msxml2.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "environment/CDLLsInformationBase.h"
#include "util/ComPtr.h"
#include "xml/CXMLHelper.h"

// CDLLsInformationBase with an in-memory cache in front: one "DLL" element per
// DLL path and one "GUID" element per class probed in it, so each DLL is looked
// at and each class instantiated once per object. Without an MSXML document
// class every query goes straight to the base. The cache's XML errors are
// raised as CComError.
class CDLLsInformation : public CDLLsInformationBase {
public:
    static constexpr size_t kKeyCapacity = 2048;
    static constexpr size_t kExpressionCapacity = 2048;
    static constexpr size_t kClsidCapacity = 39;

    CDLLsInformation();
    ~CDLLsInformation() override;

    BOOL GetDisplayPath(wchar_t* path, size_t capacity) override;
    BOOL QueryFileStatus(const wchar_t* path, BOOL* found, BOOL* trusted) override;
    BOOL QueryPersistSupport(const wchar_t* path, const wchar_t* clsid, BOOL* persistFile, BOOL* persistStream,
                             BOOL* persistStorage) override;

    BOOL XmlAvailable() const { return m_xmlAvailable; }
    // The cache document; null without MSXML.
    CXMLHelper* XmlHelper() const { return m_xmlHelper.get(); }

private:
    ComPtr<IXMLDOMNode> FindOrAddDllElement(const wchar_t* path);
    ComPtr<IXMLDOMNode> FindOrAddDllElement(const wchar_t* path, const wchar_t* key);
    ComPtr<IXMLDOMNode> AddDllElement(const wchar_t* path, const wchar_t* key);
    ComPtr<IXMLDOMNode> FindOrAddGuidElement(const wchar_t* path, const wchar_t* clsid);
    ComPtr<IXMLDOMNode> AppendElement(IXMLDOMNode* parent, const wchar_t* name);

    std::unique_ptr<CXMLHelper> m_xmlHelper;
    BOOL m_xmlAvailable = FALSE;
    // The elements of the document by key: every lookup after the first for a
    // DLL or class is one map search, however many elements the document
    // holds, instead of an XPath evaluation per question. The document stays
    // the record; a key missing here is still looked for there before an
    // element is added.
    std::map<std::wstring, ComPtr<IXMLDOMNode>> m_dllElements;
    std::map<std::pair<std::wstring, std::wstring>, ComPtr<IXMLDOMNode>> m_guidElements;
};
