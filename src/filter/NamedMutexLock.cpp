#include "filter/NamedMutexLock.h"

NamedMutexLock::NamedMutexLock(const wchar_t* name)
{
    m_mutex.reset(CreateMutexW(nullptr, FALSE, name));
    if (!m_mutex)
        return;
    const DWORD wait = WaitForSingleObject(m_mutex.get(), kWaitMilliseconds);
    m_taken = wait == WAIT_OBJECT_0;
    // An abandoned mutex is owned by this thread after the wait all the same:
    // it must be given back, or every other process would wait on it for good.
    m_owned = m_taken || wait == WAIT_ABANDONED;
}

NamedMutexLock::~NamedMutexLock()
{
    if (m_owned)
        ReleaseMutex(m_mutex.get());
}
