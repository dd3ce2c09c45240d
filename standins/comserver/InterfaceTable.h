#pragma once
#include <windows.h>
#include <unknwn.h>

#include <cstddef>

// One row of an object's QueryInterface table: an interface it may answer and
// the object seen through it. A row that is not answered (a filter built
// without IPersistStream, say) is skipped, so one table serves every variant.
struct InterfaceRow {
    const IID& iid;
    IUnknown* face;
    bool answered = true;
};

// QueryInterface by table: the first answered row that names riid wins, and
// IUnknown is always the first row's face, so every query for IUnknown gives
// the same pointer, as COM's identity rule asks.
template <std::size_t N>
HRESULT QueryInterfaceByTable(const InterfaceRow (&rows)[N], REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IUnknown* face = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        face = rows[0].face;
    } else {
        for (const InterfaceRow& row : rows) {
            if (row.answered && IsEqualIID(riid, row.iid)) {
                face = row.face;
                break;
            }
        }
    }
    if (!face)
        return E_NOINTERFACE;
    face->AddRef();
    *ppv = face;
    return S_OK;
}
