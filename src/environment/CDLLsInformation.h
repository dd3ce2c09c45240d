#pragma once
#include <windows.h>
#include <msxml2.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "environment/CDLLsInformationBase.h"
#include "util/owners/ComPtr.h"
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
    // What the document says of one class in a DLL, decoded once.
    struct ClassAnswers {
        BOOL persistFile = FALSE;
        BOOL persistStream = FALSE;
        BOOL persistStorage = FALSE;
    };
    // What the document says of one DLL, decoded once, with its element and
    // the classes asked for in it.
    struct DllAnswers {
        ComPtr<IXMLDOMNode> element;
        std::wstring display;
        BOOL found = FALSE;
        BOOL trusted = FALSE;
        std::map<std::wstring, ClassAnswers, std::less<>> classes;
    };

    DllAnswers* FindOrAddDll(const wchar_t* path);
    DllAnswers* FindOrAddDll(const wchar_t* path, const wchar_t* key);
    ComPtr<IXMLDOMNode> AddDllElement(const wchar_t* path, const wchar_t* key);
    const ClassAnswers* FindOrAddClass(const wchar_t* path, const wchar_t* clsid);
    ComPtr<IXMLDOMNode> AppendElement(IXMLDOMNode* parent, const wchar_t* name);

    std::unique_ptr<CXMLHelper> m_xmlHelper;
    BOOL m_xmlAvailable = FALSE;
    // The answers of the document by key: every lookup after the first for a
    // DLL or class is a map search, with no temporary key and no attribute
    // read, however many elements the document holds. The answers never change
    // once an element exists. The document stays the record: a key missing
    // here is still looked for there before an element is added.
    std::map<std::wstring, DllAnswers, std::less<>> m_dlls;
};
