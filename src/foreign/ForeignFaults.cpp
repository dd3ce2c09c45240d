#include "foreign/ForeignFaults.h"

#include <algorithm>

#include "foreign/AddModuleReference.h"

namespace {
std::wstring Upper(const wchar_t* path)
{
    std::wstring key(path);
    if (!key.empty())
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

// The record lives in this module: once it holds a fault, the module takes a
// reference on itself that it never gives back, so that a host that frees and
// loads the filter again does not find the record empty and call the DLL.
void KeepThisModuleLoaded()
{
    static volatile LONG kept = 0;
    if (InterlockedExchange(&kept, 1) != 0)
        return;
    MEMORY_BASIC_INFORMATION memory = {};
    if (!VirtualQuery(reinterpret_cast<const void*>(&KeepThisModuleLoaded), &memory, sizeof(memory)) ||
        !memory.AllocationBase)
        return;
    wchar_t own[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(memory.AllocationBase), own, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2)
        LoadLibraryW(own);
}

// Holds a critical section for one scope.
class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
    ~Locked() { LeaveCriticalSection(&m_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};
}  // namespace

ForeignFaults& ForeignFaults::Process()
{
    static ForeignFaults record;
    return record;
}

ForeignFaults::ForeignFaults()
{
    InitializeCriticalSection(&m_lock);
}

ForeignFaults::~ForeignFaults()
{
    DeleteCriticalSection(&m_lock);
}

void ForeignFaults::Add(HMODULE module, const wchar_t* path)
{
    std::vector<std::wstring> keys;
    if (path && path[0])
        keys.push_back(Upper(path));
    if (module) {
        // The module's own file name too: the registration may spell it otherwise.
        wchar_t own[MAX_PATH * 2];
        const DWORD length = GetModuleFileNameW(module, own, MAX_PATH * 2);
        if (length > 0 && length < MAX_PATH * 2)
            keys.push_back(Upper(own));
    }
    // The record's own reference, never given back: whoever loaded the DLL
    // (COM, the indexing library) may let go of it, and a module loaded at the
    // same address since would be taken for it, while its abandoned objects
    // would point into code no longer there. Taken outside the lock, as it
    // takes the loader's; a second one, when two threads record the DLL at
    // once, is kept for good as well.
    const bool kept = module && !Contains(module) && AddModuleReference(module);
    {
        Locked lock(m_lock);
        if (kept && !ContainsLocked(module))
            m_modules.push_back(module);
        for (auto& key : keys) {
            if (std::find(m_paths.begin(), m_paths.end(), key) == m_paths.end())
                m_paths.push_back(std::move(key));
        }
        InterlockedExchange(&m_any, 1);
    }
    KeepThisModuleLoaded();
}

bool ForeignFaults::ContainsLocked(HMODULE module) const
{
    return std::find(m_modules.begin(), m_modules.end(), module) != m_modules.end();
}

bool ForeignFaults::Contains(HMODULE module) const
{
    if (!module || m_any == 0)
        return false;
    Locked lock(m_lock);
    return ContainsLocked(module);
}

bool ForeignFaults::Contains(const wchar_t* path) const
{
    if (m_any == 0 || !path || !path[0])
        return false;
    const std::wstring key = Upper(path);
    {
        Locked lock(m_lock);
        if (std::find(m_paths.begin(), m_paths.end(), key) != m_paths.end())
            return true;
    }
    return Contains(GetModuleHandleW(path));
}

void ForeignFaults::ForgetAllForTests()
{
    Locked lock(m_lock);
    m_modules.clear();
    m_paths.clear();
    InterlockedExchange(&m_any, 0);
}
