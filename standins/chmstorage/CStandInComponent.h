#pragma once
#include <windows.h>

#include "crawler/IITStorage.h"

// The storage component's object: opens a CHM and hands out its Windows view.
class CStandInComponent : public IITStorage {
public:
    CStandInComponent();
    virtual ~CStandInComponent();
    CStandInComponent(const CStandInComponent&) = delete;
    CStandInComponent& operator=(const CStandInComponent&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage** storage) override;
    STDMETHODIMP StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage** storage) override;
    STDMETHODIMP StgIsStorageFile(const WCHAR* name) override;
    STDMETHODIMP StgIsStorageILockBytes(ILockBytes*) override;
    STDMETHODIMP StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                                IStorage** storage) override;

private:
    volatile LONG m_refCount = 1;
};
