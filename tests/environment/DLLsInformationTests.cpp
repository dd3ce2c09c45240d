#include <gtest/gtest.h>

#include <string>

#include "support/FilterDllCopy.h"
#include "environment/CDLLsInformation.h"
#include "environment/VerifyFileTrust.h"
#include "filter/CHostProcessInfo.h"
#include "pagefilters/PageFilterClassIds.h"
#include "support/LoadedModule.h"
#include "support/ScopedXmlClasses.h"
#include "support/ScratchFolder.h"
#include "util/owners/BStr.h"
#include "xml/CXMLAttributesHelper.h"
#include "xml/XmlClassIds.h"

namespace {

namespace Ids = PageFilterClassIds;

struct Persist {
    BOOL file;
    BOOL stream;
    BOOL storage;
};

bool operator==(const Persist& a, const Persist& b)
{
    return a.file == b.file && a.stream == b.stream && a.storage == b.storage;
}

void PrintTo(const Persist& p, std::ostream* os)
{
    *os << "{file " << p.file << ", stream " << p.stream << ", storage " << p.storage << "}";
}

Persist QueryPersist(CDLLsInformationBase& info, const std::wstring& path, const wchar_t* clsid, BOOL* result = nullptr)
{
    Persist p = {-1, -1, -1};
    const BOOL ok = info.QueryPersistSupport(path.c_str(), clsid, &p.file, &p.stream, &p.storage);
    if (result)
        *result = ok;
    return p;
}

std::wstring Upper(std::wstring text)
{
    CharUpperW(&text[0]);
    return text;
}

// All nodes under the cache's root matching an expression.
long CountNodes(CDLLsInformation& info, const wchar_t* expression)
{
    ComPtr<IXMLDOMNode> root = info.XmlHelper()->GetRoot();
    ComPtr<IXMLDOMNodeList> nodes;
    BStr query(SysAllocString(expression));
    EXPECT_EQ(S_OK, root->selectNodes(query.get(), nodes.put()));
    long length = -1;
    nodes->get_length(&length);
    return length;
}

ComPtr<IXMLDOMNode> SelectNode(CDLLsInformation& info, const wchar_t* expression)
{
    ComPtr<IXMLDOMNode> root = info.XmlHelper()->GetRoot();
    ComPtr<IXMLDOMNode> node;
    BStr query(SysAllocString(expression));
    root->selectSingleNode(query.get(), node.put());
    return node;
}

class DLLsInformation : public testing::Test {
protected:
    ComApartment m_com;
    ScratchFolder m_scratch;
};

TEST_F(DLLsInformation, CacheIsAvailableUnderWine)
{
    CDLLsInformation info;
    EXPECT_TRUE(info.XmlAvailable());
    ASSERT_NE(nullptr, info.XmlHelper());
    EXPECT_EQ(0, CountNodes(info, L"*"));
    EXPECT_EQ(TRUE, info.verifyTrust);
}

TEST_F(DLLsInformation, ProbesVersion4ThenVersion3)
{
    ScopedXmlClasses classes({{XmlClassIds::DOMDocument40, REGDB_E_CLASSNOTREG}});
    CDLLsInformation info;
    EXPECT_TRUE(info.XmlAvailable());
    ASSERT_GE(classes.Asked().size(), 2u);
    EXPECT_TRUE(classes.Asked()[0] == XmlClassIds::DOMDocument40);
    EXPECT_TRUE(classes.Asked()[1] == XmlClassIds::DOMDocument30);
    EXPECT_EQ(0, classes.LeftoverCalls()) << "what the refused creation left was used";
}

TEST_F(DLLsInformation, PathSpellingsFoldIntoOneElementKeepingTheFirst)
{
    FilterDllCopy dll(m_scratch, L"Filters\\Page.dll");
    const std::wstring first = dll.Path();
    const std::wstring byCase = Upper(first);
    std::wstring byUnderscore = first;
    byUnderscore[byUnderscore.rfind(L'\\')] = L'_';  // ...\Filters_Page.dll, which does not exist

    CDLLsInformation info;
    wchar_t buffer[2048];
    Persist firstAnswer = {};
    for (const std::wstring* spelling : {&first, &byCase, static_cast<const std::wstring*>(&byUnderscore)}) {
        SCOPED_TRACE(testing::PrintToString(*spelling));
        lstrcpynW(buffer, spelling->c_str(), 2048);
        EXPECT_EQ(TRUE, info.GetDisplayPath(buffer, 2048));
        EXPECT_EQ(first, std::wstring(buffer));

        BOOL found = -1;
        BOOL trusted = -1;
        EXPECT_EQ(TRUE, info.QueryFileStatus(spelling->c_str(), &found, &trusted));
        EXPECT_EQ(TRUE, found);
        EXPECT_EQ(FALSE, trusted);

        BOOL ok = FALSE;
        const Persist answer = QueryPersist(info, *spelling, Ids::StreamOnlyString, &ok);
        EXPECT_EQ(TRUE, ok);
        if (spelling == &first)
            firstAnswer = answer;
        EXPECT_EQ(firstAnswer, answer);
    }
    EXPECT_EQ((Persist{FALSE, TRUE, FALSE}), firstAnswer);
    EXPECT_EQ(1, dll.ClassObjectCalls());
    EXPECT_EQ(1, CountNodes(info, L"DLL"));
    EXPECT_EQ(1, CountNodes(info, L"DLL/GUID"));

    // The element records the key, the first spelling and its results.
    ComPtr<IXMLDOMNode> element = SelectNode(info, L"DLL");
    ASSERT_TRUE(element);
    CXMLAttributesHelper attributes(element.get());
    std::wstring key = Upper(first);
    for (auto& c : key) {
        if (c == L'\\')
            c = L'_';
    }
    EXPECT_EQ(key, attributes.GetAttribute(L"path"));
    EXPECT_EQ(first, attributes.GetAttribute(L"display"));
    EXPECT_EQ(L"yes", attributes.GetAttribute(L"found"));
    EXPECT_EQ(L"no", attributes.GetAttribute(L"trusted"));

    ComPtr<IXMLDOMNode> guid = SelectNode(info, L"DLL/GUID");
    ASSERT_TRUE(guid);
    CXMLAttributesHelper guidAttributes(guid.get());
    std::wstring lower = Ids::StreamOnlyString;
    CharLowerW(&lower[0]);
    EXPECT_EQ(lower, guidAttributes.GetAttribute(L"guid"));
    EXPECT_EQ(L"no", guidAttributes.GetAttribute(L"ipersistfile"));
    EXPECT_EQ(L"yes", guidAttributes.GetAttribute(L"ipersiststream"));
    EXPECT_EQ(L"no", guidAttributes.GetAttribute(L"ipersiststorage"));
}

TEST_F(DLLsInformation, AnswersPerClassWithAndWithoutTheCache)
{
    FilterDllCopy dll(m_scratch, L"filters\\Answers.dll");
    struct Case {
        const wchar_t* clsid;
        Persist want;
    };
    const Case cases[] = {
        {Ids::AllPersistString, {TRUE, TRUE, TRUE}},
        {Ids::StreamOnlyString, {FALSE, TRUE, FALSE}},
        {Ids::NoPersistString, {FALSE, FALSE, FALSE}},
        {Ids::FailingFactoryString, {FALSE, FALSE, FALSE}},
        {L"{00000000-1111-2222-3333-444444444444}", {FALSE, FALSE, FALSE}},
        {L"{not a class id}", {FALSE, FALSE, FALSE}},
    };
    CDLLsInformationBase base;
    CDLLsInformation cached;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.clsid)));
        for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
            BOOL ok = FALSE;
            EXPECT_EQ(c.want, QueryPersist(*info, dll.Path(), c.clsid, &ok));
            EXPECT_EQ(TRUE, ok);
        }
        EXPECT_EQ(0, dll.LiveObjects());
    }
    // Upper-case class ids share the element of their lower-case form.
    EXPECT_EQ((Persist{TRUE, TRUE, TRUE}), QueryPersist(cached, dll.Path(), Ids::AllPersistString));
    EXPECT_EQ(static_cast<long>(std::size(cases)), CountNodes(cached, L"DLL/GUID"));
}

TEST_F(DLLsInformation, ClassIsProbedOnceWithTheCacheAndEveryTimeWithout)
{
    FilterDllCopy dll(m_scratch, L"filters\\Counted.dll");
    {
        CDLLsInformation cached;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ((Persist{TRUE, TRUE, TRUE}), QueryPersist(cached, dll.Path(), Ids::AllPersistString));
            EXPECT_EQ((Persist{FALSE, FALSE, FALSE}), QueryPersist(cached, dll.Path(), Ids::NoPersistString));
        }
        EXPECT_EQ(2, dll.ClassObjectCalls());
    }
    {
        // A second object starts with an empty cache.
        CDLLsInformation cached;
        QueryPersist(cached, dll.Path(), Ids::AllPersistString);
        EXPECT_EQ(3, dll.ClassObjectCalls());
    }
    CDLLsInformationBase base;
    for (int i = 0; i < 3; ++i)
        QueryPersist(base, dll.Path(), Ids::AllPersistString);
    EXPECT_EQ(6, dll.ClassObjectCalls());
}

TEST_F(DLLsInformation, EachDllKeepsItsOwnAnswersAmongSeveral)
{
    FilterDllCopy first(m_scratch, L"one\\Filter.dll");
    FilterDllCopy second(m_scratch, L"two\\Filter.dll");
    const std::wstring missing = m_scratch / L"three\\Filter.dll";
    struct Case {
        const std::wstring* path;
        BOOL found;
        Persist all;
        Persist streamOnly;
    };
    const Case cases[] = {
        {&first.Path(), TRUE, {TRUE, TRUE, TRUE}, {FALSE, TRUE, FALSE}},
        {&missing, FALSE, {FALSE, FALSE, FALSE}, {FALSE, FALSE, FALSE}},
        {&second.Path(), TRUE, {TRUE, TRUE, TRUE}, {FALSE, TRUE, FALSE}},
    };
    CDLLsInformation cached;
    // The same classes in every DLL, asked in turns: no DLL answers with
    // another's results, however often it is asked.
    for (int round = 0; round < 3; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(*c.path) + " round " + std::to_string(round));
            BOOL found = -1;
            BOOL trusted = -1;
            EXPECT_EQ(TRUE, cached.QueryFileStatus(c.path->c_str(), &found, &trusted));
            EXPECT_EQ(c.found, found);
            EXPECT_EQ(c.all, QueryPersist(cached, *c.path, Ids::AllPersistString));
            EXPECT_EQ(c.streamOnly, QueryPersist(cached, *c.path, Ids::StreamOnlyString));
        }
    }
    EXPECT_EQ(2, first.ClassObjectCalls());
    EXPECT_EQ(2, second.ClassObjectCalls());
    EXPECT_EQ(3, CountNodes(cached, L"DLL"));
    EXPECT_EQ(6, CountNodes(cached, L"DLL/GUID"));
}

TEST_F(DLLsInformation, WithoutMsxmlEveryQueryActsAsTheBase)
{
    FilterDllCopy dll(m_scratch, L"filters\\NoXml.dll");
    auto noXml = ScopedXmlClasses::RefuseAll();
    CDLLsInformation info;
    EXPECT_FALSE(info.XmlAvailable());
    EXPECT_EQ(nullptr, info.XmlHelper());
    EXPECT_EQ(0, noXml.LeftoverCalls());

    // No folding: each spelling is left as it is.
    const std::wstring byCase = Upper(dll.Path());
    wchar_t buffer[2048];
    for (const std::wstring* spelling : {&dll.Path(), &byCase}) {
        lstrcpynW(buffer, spelling->c_str(), 2048);
        EXPECT_EQ(TRUE, info.GetDisplayPath(buffer, 2048));
        EXPECT_EQ(*spelling, std::wstring(buffer));
    }
    BOOL found = -1;
    BOOL trusted = -1;
    EXPECT_EQ(TRUE, info.QueryFileStatus(dll.Path().c_str(), &found, &trusted));
    EXPECT_EQ(TRUE, found);
    EXPECT_EQ(FALSE, trusted);

    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ((Persist{TRUE, TRUE, TRUE}), QueryPersist(info, dll.Path(), Ids::AllPersistString));
        EXPECT_EQ(i, dll.ClassObjectCalls());
    }
    // Checks the cached form would refuse go through to the base.
    const std::wstring longClsid = std::wstring(Ids::AllPersistString) + L"x";
    BOOL ok = FALSE;
    QueryPersist(info, dll.Path(), longClsid.c_str(), &ok);
    EXPECT_EQ(TRUE, ok);
}

TEST_F(DLLsInformation, KnownFiltersAnswerPersistFileWithoutLoading)
{
    // A real DLL under a known name proves nothing is loaded.
    FilterDllCopy pdf(m_scratch, L"filters\\pdffilt.dll");
    const std::wstring paths[] = {
        pdf.Path(),
        L"Z:\\nowhere\\PdfFilt.DLL",
        L"acrordif.dll",
        L"C:\\Program Files\\Reader\\ACRORDIF",
        L"C:\\x.y\\zondrakex.dll",
    };
    CDLLsInformationBase base;
    CDLLsInformation cached;
    for (const auto& path : paths) {
        SCOPED_TRACE(testing::PrintToString(path));
        for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
            BOOL ok = FALSE;
            EXPECT_EQ((Persist{TRUE, FALSE, FALSE}), QueryPersist(*info, path, Ids::NoPersistString, &ok));
            EXPECT_EQ(TRUE, ok);
        }
    }
    EXPECT_EQ(nullptr, pdf.Loaded());

    // Only the base name counts, not a folder of that name.
    FilterDllCopy other(m_scratch, L"PDFFILT\\other.dll");
    EXPECT_EQ((Persist{FALSE, FALSE, FALSE}), QueryPersist(base, other.Path(), Ids::NoPersistString));
    EXPECT_NE(nullptr, other.Loaded());
}

TEST_F(DLLsInformation, EmptyAndOversizedInputsAreRefused)
{
    CDLLsInformationBase base;
    CDLLsInformation cached;
    const std::wstring path = m_scratch / L"filters\\x.dll";
    const std::wstring longClsid = std::wstring(Ids::AllPersistString) + L"x";
    const std::wstring longPath = L"C:\\" + std::wstring(2100, L'p') + L".dll";
    struct Case {
        const char* name;
        std::wstring path;
        const wchar_t* clsid;
        bool base;  // whether the base form answers
    };
    const Case cases[] = {
        {"empty path", L"", Ids::AllPersistString, false},
        {"empty class", path, L"", false},
        {"class id over 38 characters", path, longClsid.c_str(), true},
        {"path key over 2047 characters", longPath, Ids::AllPersistString, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Persist untouched = {7, 7, 7};
        EXPECT_EQ(FALSE, cached.QueryPersistSupport(c.path.c_str(), c.clsid, &untouched.file, &untouched.stream,
                                                    &untouched.storage));
        EXPECT_EQ((Persist{7, 7, 7}), untouched);
        BOOL ok = -1;
        QueryPersist(base, c.path, c.clsid, &ok);
        EXPECT_EQ(c.base ? TRUE : FALSE, ok);
    }

    BOOL found = 7;
    BOOL trusted = 7;
    EXPECT_EQ(FALSE, cached.QueryFileStatus(L"", &found, &trusted));
    EXPECT_EQ(FALSE, base.QueryFileStatus(L"", &found, &trusted));
    EXPECT_EQ(FALSE, cached.QueryFileStatus(longPath.c_str(), &found, &trusted));
    EXPECT_EQ(7, found);
    EXPECT_EQ(7, trusted);

    std::wstring longBuffer = longPath;
    EXPECT_EQ(FALSE, cached.GetDisplayPath(&longBuffer[0], longBuffer.size() + 1));
    wchar_t empty[4] = {};
    wchar_t some[16] = L"C:\\a.dll";
    for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
        EXPECT_EQ(FALSE, info->GetDisplayPath(empty, 4));
        EXPECT_EQ(FALSE, info->GetDisplayPath(some, 0));
        EXPECT_EQ(FALSE, info->GetDisplayPath(some, size_t{0x80000000}));
        EXPECT_STREQ(L"C:\\a.dll", some);
    }
    // The base form cuts a path that does not fit its buffer.
    EXPECT_EQ(FALSE, base.GetDisplayPath(some, 5));
    EXPECT_STREQ(L"C:\\a", some);
}

TEST_F(DLLsInformation, FoldersAndMissingFilesAreNotFound)
{
    const std::wstring folder = m_scratch.MakeFolder(L"looks.dll");
    CDLLsInformationBase base;
    CDLLsInformation cached;
    for (const std::wstring& path : {folder, m_scratch / L"missing.dll"}) {
        for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
            BOOL found = -1;
            BOOL trusted = -1;
            EXPECT_EQ(TRUE, info->QueryFileStatus(path.c_str(), &found, &trusted));
            EXPECT_EQ(FALSE, found);
            EXPECT_EQ(FALSE, trusted);
        }
    }
}

TEST_F(DLLsInformation, UnsignedOrUncheckedDllsAreUntrusted)
{
    FilterDllCopy dll(m_scratch, L"filters\\Unsigned.dll");
    EXPECT_EQ(FALSE, VerifyFileTrust(dll.Path().c_str(), FALSE));
    EXPECT_EQ(FALSE, VerifyFileTrust((m_scratch / L"missing.dll").c_str(), FALSE));

    for (BOOL verify : {TRUE, FALSE}) {
        SCOPED_TRACE(verify ? "verifyTrust 1" : "verifyTrust 0");
        CDLLsInformationBase base;
        CDLLsInformation cached;
        base.verifyTrust = verify;
        cached.verifyTrust = verify;
        for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
            BOOL found = -1;
            BOOL trusted = -1;
            EXPECT_EQ(TRUE, info->QueryFileStatus(dll.Path().c_str(), &found, &trusted));
            EXPECT_EQ(TRUE, found);
            EXPECT_EQ(FALSE, trusted);
        }
        EXPECT_EQ(L"no", CXMLAttributesHelper(SelectNode(cached, L"DLL").get()).GetAttribute(L"trusted"));
    }
}

// Stands in for a signed file: every file verifies, and each call is counted.
int g_trustCalls = 0;
LONG WINAPI TrustEverything(HWND, GUID*, void*)
{
    ++g_trustCalls;
    return 0;
}

TEST_F(DLLsInformation, TrustIsCheckedOnlyWhenAsked)
{
    FilterDllCopy dll(m_scratch, L"filters\\Signed.dll");
    const WinVerifyTrustFn previous = SetTrustVerifier(TrustEverything);
    for (BOOL verify : {TRUE, FALSE}) {
        SCOPED_TRACE(verify ? "verifyTrust 1" : "verifyTrust 0");
        CDLLsInformationBase base;
        CDLLsInformation cached;
        base.verifyTrust = verify;
        cached.verifyTrust = verify;
        for (CDLLsInformationBase* info : {&base, static_cast<CDLLsInformationBase*>(&cached)}) {
            g_trustCalls = 0;
            BOOL found = -1;
            BOOL trusted = -1;
            EXPECT_EQ(TRUE, info->QueryFileStatus(dll.Path().c_str(), &found, &trusted));
            EXPECT_EQ(TRUE, found);
            EXPECT_EQ(verify, trusted);
            EXPECT_EQ(verify ? 1 : 0, g_trustCalls);
            // A missing file is never checked.
            EXPECT_EQ(TRUE, info->QueryFileStatus((m_scratch / L"missing.dll").c_str(), &found, &trusted));
            EXPECT_EQ(FALSE, trusted);
            EXPECT_EQ(verify ? 1 : 0, g_trustCalls);
        }
    }
    SetTrustVerifier(previous);
}

TEST_F(DLLsInformation, HostProcessInfoCarriesItsOwnCache)
{
    CHostProcessInfo host(L"C:\\Windows\\System32\\cidaemon.exe");
    EXPECT_TRUE(host.DLLsInformation().XmlAvailable());
    EXPECT_STREQ(L"CIDAEMON", host.HostBaseName());
}

}  // namespace
