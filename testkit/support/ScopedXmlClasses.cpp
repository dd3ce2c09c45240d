#include "ScopedXmlClasses.h"

namespace {
ScopedXmlClasses* g_current = nullptr;

// What a refused creation leaves in its out slot. Only IUnknown's slots are
// real: a caller that took it for a document would crash, which fails the test
// as surely as the count does.
class Leftover : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        ++calls;
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++calls); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(++calls); }

    LONG calls = 0;
};
Leftover g_leftover;
}

ScopedXmlClasses::ScopedXmlClasses(std::vector<Refusal> refused) : ScopedXmlClasses(std::move(refused), false, S_OK) {}

ScopedXmlClasses ScopedXmlClasses::RefuseAll(HRESULT hr)
{
    return ScopedXmlClasses({}, true, hr);
}

ScopedXmlClasses::ScopedXmlClasses(std::vector<Refusal> refused, bool refuseAll, HRESULT allHr)
    : m_refused(std::move(refused)), m_refuseAll(refuseAll), m_allHr(allHr), m_leftoverCallsBefore(g_leftover.calls)
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
            *object = static_cast<IUnknown*>(&g_leftover);
            return self->m_allHr;
        }
        for (const auto& refusal : self->m_refused) {
            if (refusal.clsid == clsid) {
                *object = static_cast<IUnknown*>(&g_leftover);
                return refusal.hr;
            }
        }
    }
    return CoCreateInstance(clsid, outer, context, iid, object);
}

LONG ScopedXmlClasses::LeftoverCalls() const
{
    return g_leftover.calls - m_leftoverCallsBefore;
}
