#pragma once
#include <windows.h>

#include "util/owners/UniqueHandle.h"

// Holds a named mutex, shared by every process of the session, for as long as
// the object lives. The wait is bounded so that a stuck process cannot stall
// every other host that loads the filter.
class NamedMutexLock {
public:
    static constexpr DWORD kWaitMilliseconds = 5000;

    explicit NamedMutexLock(const wchar_t* name);
    ~NamedMutexLock();
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    // Only a plain wait counts: a timeout, a failed wait or a mutex that its
    // last owner abandoned (it may have died half-way through a write) do not.
    bool Taken() const { return m_taken; }

private:
    UniqueHandle m_mutex;
    bool m_taken = false;
    bool m_owned = false;
};
