#pragma once
#include <windows.h>

#include <vector>

#include "xml/XmlClassCreator.h"

// Stands in for MSXML class creation while it lives: records every class the
// product asks for and refuses chosen classes (or all of them) with a chosen
// code; the rest are created by CoCreateInstance. One at a time. A refusal
// leaves a leftover object in the out slot, as some components leave garbage
// there after a failure; any call on it is counted, since none may come.
class ScopedXmlClasses {
public:
    struct Refusal {
        CLSID clsid;
        HRESULT hr;
    };

    explicit ScopedXmlClasses(std::vector<Refusal> refused);
    // Refuses every class with hr, like a machine without MSXML.
    static ScopedXmlClasses RefuseAll(HRESULT hr = REGDB_E_CLASSNOTREG);
    ~ScopedXmlClasses();
    ScopedXmlClasses(const ScopedXmlClasses&) = delete;
    ScopedXmlClasses& operator=(const ScopedXmlClasses&) = delete;
    ScopedXmlClasses(ScopedXmlClasses&&) = delete;

    const std::vector<CLSID>& Asked() const { return m_asked; }
    // Calls made on what a refusal left in an out slot while this object lived.
    LONG LeftoverCalls() const;

private:
    ScopedXmlClasses(std::vector<Refusal> refused, bool refuseAll, HRESULT allHr);
    static HRESULT STDAPICALLTYPE Create(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

    std::vector<Refusal> m_refused;
    bool m_refuseAll;
    HRESULT m_allHr;
    std::vector<CLSID> m_asked;
    XmlClassCreatorFn m_previous;
    LONG m_leftoverCallsBefore;
};
