#include "ScopedXmlClasses.h"

namespace {
ScopedXmlClasses* g_current = nullptr;
}

ScopedXmlClasses::ScopedXmlClasses(std::vector<Refusal> refused) : ScopedXmlClasses(std::move(refused), false, S_OK) {}

ScopedXmlClasses ScopedXmlClasses::RefuseAll(HRESULT hr)
{
    return ScopedXmlClasses({}, true, hr);
}

ScopedXmlClasses::ScopedXmlClasses(std::vector<Refusal> refused, bool refuseAll, HRESULT allHr)
    : m_refused(std::move(refused)), m_refuseAll(refuseAll), m_allHr(allHr)
{
    g_current = this;
    m_previous = SetXmlClassCreator(&ScopedXmlClasses::Create);
}

ScopedXmlClasses::~ScopedXmlClasses()
{
    SetXmlClassCreator(m_previous);
    g_current = nullptr;
}

HRESULT STDAPICALLTYPE ScopedXmlClasses::Create(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                                                void** object)
{
    ScopedXmlClasses* self = g_current;
    if (self) {
        self->m_asked.push_back(clsid);
        if (self->m_refuseAll) {
            *object = nullptr;
            return self->m_allHr;
        }
        for (const auto& refusal : self->m_refused) {
            if (refusal.clsid == clsid) {
                *object = nullptr;
                return refusal.hr;
            }
        }
    }
    return CoCreateInstance(clsid, outer, context, iid, object);
}
