#include <gtest/gtest.h>

#include "support/LoadedModule.h"
#include "support/ScopedXmlClasses.h"
#include "util/owners/BStr.h"
#include "util/com/CComError.h"
#include "xml/CXMLAttributesHelper.h"
#include "xml/CXMLHelper.h"
#include "xml/XmlClassIds.h"

namespace {

class XmlHelper : public testing::Test {
protected:
    ComApartment m_com;
};

std::wstring NodeName(IXMLDOMNode* node)
{
    BStr name;
    EXPECT_EQ(S_OK, node->get_nodeName(name.put()));
    return name ? std::wstring(name.get()) : std::wstring();
}

long AttributeCount(IXMLDOMNode* node)
{
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    EXPECT_EQ(S_OK, node->get_attributes(attributes.put()));
    long length = -1;
    EXPECT_EQ(S_OK, attributes->get_length(&length));
    return length;
}

ComPtr<IXMLDOMNode> AsNode(IXMLDOMElement* element)
{
    ComPtr<IXMLDOMNode> node;
    EXPECT_EQ(S_OK, element->QueryInterface(IID_IXMLDOMNode, node.put_void()));
    return node;
}

TEST_F(XmlHelper, CreateRootGivesAnEmptyRootElement)
{
    for (bool freeThreaded : {true, false}) {
        SCOPED_TRACE(freeThreaded ? "free-threaded" : "apartment");
        CXMLHelper xml(freeThreaded, true);
        ASSERT_TRUE(xml.CreateRoot(L"DLLS"));
        ComPtr<IXMLDOMNode> root = xml.GetRoot();
        ASSERT_TRUE(root);
        EXPECT_EQ(L"DLLS", NodeName(root.get()));
        VARIANT_BOOL children = VARIANT_TRUE;
        root->hasChildNodes(&children);
        EXPECT_EQ(VARIANT_FALSE, children);
        EXPECT_EQ(0, AttributeCount(root.get()));
    }
}

TEST_F(XmlHelper, NoRootBeforeAnythingIsLoaded)
{
    CXMLHelper xml(true, true);
    EXPECT_FALSE(xml.GetRoot());
}

TEST_F(XmlHelper, LoadXmlRefusesBrokenTextAndTakesWellFormedText)
{
    CXMLHelper xml(true, true);
    for (const wchar_t* text : {L"<a><b>", L"not xml", L"<a></b>", L"<?xml version=\"1.0\"?>"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        EXPECT_FALSE(xml.LoadXml(text));
    }
    ASSERT_TRUE(xml.LoadXml(L"<Other a=\"1\"/>"));
    ComPtr<IXMLDOMNode> root = xml.GetRoot();
    ASSERT_TRUE(root);
    EXPECT_EQ(L"Other", NodeName(root.get()));
}

TEST_F(XmlHelper, EmptyTextLeavesTheDocumentUnchanged)
{
    CXMLHelper xml(true, true);
    ASSERT_TRUE(xml.CreateRoot(L"DLLS"));
    EXPECT_FALSE(xml.LoadXml(L""));
    ComPtr<IXMLDOMNode> root = xml.GetRoot();
    ASSERT_TRUE(root);
    EXPECT_EQ(L"DLLS", NodeName(root.get()));
}

TEST_F(XmlHelper, CreateElementIsNotInsertedAnywhere)
{
    CXMLHelper xml(true, true);
    ASSERT_TRUE(xml.CreateRoot(L"DLLS"));
    ComPtr<IXMLDOMElement> element = xml.CreateElement(L"DLL");
    ASSERT_TRUE(element);
    ComPtr<IXMLDOMNode> node = AsNode(element.get());
    EXPECT_EQ(L"DLL", NodeName(node.get()));
    ComPtr<IXMLDOMNode> parent;
    node->get_parentNode(parent.put());
    EXPECT_FALSE(parent);
    VARIANT_BOOL children = VARIANT_TRUE;
    xml.GetRoot()->hasChildNodes(&children);
    EXPECT_EQ(VARIANT_FALSE, children);
}

TEST_F(XmlHelper, AttributesAreSetOnceAndReadBack)
{
    CXMLHelper xml(true, true);
    ASSERT_TRUE(xml.CreateRoot(L"DLLS"));
    ComPtr<IXMLDOMNode> node = AsNode(xml.CreateElement(L"DLL").get());
    CXMLAttributesHelper attributes(node.get());

    EXPECT_EQ(L"", attributes.GetAttribute(L"path"));
    attributes.SetAttribute(L"path", L"first");
    attributes.SetAttribute(L"path", L"C:\\second & <third>");
    attributes.SetAttribute(L"found", L"");
    EXPECT_EQ(L"C:\\second & <third>", attributes.GetAttribute(L"path"));
    EXPECT_EQ(L"", attributes.GetAttribute(L"found"));
    EXPECT_EQ(L"", attributes.GetAttribute(L"trusted"));
    EXPECT_EQ(2, AttributeCount(node.get()));
}

TEST_F(XmlHelper, NullNodeReadsEmptyAndIgnoresWrites)
{
    CXMLAttributesHelper attributes(nullptr);
    attributes.SetAttribute(L"path", L"x");
    EXPECT_EQ(L"", attributes.GetAttribute(L"path"));
}

TEST_F(XmlHelper, FallsBackFromVersion4To3)
{
    struct Case {
        bool freeThreaded;
        CLSID first;
        CLSID second;
    };
    const Case cases[] = {
        {true, XmlClassIds::FreeThreadedDOMDocument40, XmlClassIds::FreeThreadedDOMDocument30},
        {false, XmlClassIds::DOMDocument40, XmlClassIds::DOMDocument30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.freeThreaded ? "free-threaded" : "apartment");
        // Refused explicitly so the test does not depend on what is installed.
        ScopedXmlClasses classes({{c.first, REGDB_E_CLASSNOTREG}});
        CXMLHelper xml(c.freeThreaded, true);
        ASSERT_EQ(2u, classes.Asked().size());
        EXPECT_TRUE(classes.Asked()[0] == c.first);
        EXPECT_TRUE(classes.Asked()[1] == c.second);
        EXPECT_TRUE(xml.CreateRoot(L"DLLS"));
        EXPECT_EQ(0, classes.LeftoverCalls()) << "what the refused creation left was used";
    }
}

TEST_F(XmlHelper, WithoutEitherClassConstructionRaisesTheSecondError)
{
    ScopedXmlClasses classes({{XmlClassIds::FreeThreadedDOMDocument40, REGDB_E_CLASSNOTREG},
                              {XmlClassIds::FreeThreadedDOMDocument30, E_ACCESSDENIED}});
    try {
        CXMLHelper xml(true, true);
        ADD_FAILURE() << "constructed without a document class";
    } catch (const CComError& error) {
        EXPECT_EQ(E_ACCESSDENIED, error.Error());
    }
    EXPECT_EQ(0, classes.LeftoverCalls()) << "what a refused creation left was used";
}

}  // namespace
