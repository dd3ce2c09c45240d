#include "registration/ClassesRoot.h"

#include <cwchar>

#include "util/strings/BoundedString.h"

namespace ClassesRoot {

LONG Open(const wchar_t* path, RegKey& key)
{
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_ALL_ACCESS, key.put());
}

LONG Create(const wchar_t* path, RegKey& key, bool* created)
{
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, key.put(), &disposition);
    if (rc == ERROR_SUCCESS && created)
        *created = disposition == REG_CREATED_NEW_KEY;
    return rc;
}

LONG WriteString(HKEY key, const wchar_t* name, const wchar_t* value)
{
    size_t length = 0;
    if (FAILED(BoundedLength(value, kValueCapacity, &length)))
        return ERROR_INSUFFICIENT_BUFFER;
    const DWORD bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

LONG ReadDefault(HKEY key, wchar_t (&value)[kValueCapacity], bool& found)
{
    return ReadString(key, nullptr, value, found);
}

LONG ReadString(HKEY key, const wchar_t* name, wchar_t (&value)[kValueCapacity], bool& found)
{
    found = false;
    value[0] = L'\0';
    wchar_t buffer[kValueCapacity] = {};
    DWORD type = 0;
    // One character short of the buffer: the last one stays the terminator
    // whatever the stored data ends in.
    DWORD bytes = (kValueCapacity - 1) * sizeof(wchar_t);
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && type != REG_SZ)
        return kWrongType;
    if (rc != ERROR_SUCCESS)
        return rc;
    if (buffer[0] == L'\0')
        return ERROR_SUCCESS;
    BoundedCopy(value, kValueCapacity, buffer);
    found = true;
    return ERROR_SUCCESS;
}

bool HasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return true;
    return subkeys != 0;
}

bool IsEmpty(HKEY key)
{
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

bool SameName(const wchar_t* a, const wchar_t* b)
{
    return _wcsicmp(a, b) == 0;
}

namespace {
// The access flag that selects the other registry view, or 0 when there is none.
REGSAM OtherView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    // Looked up at run time: older systems have no IsWow64Process.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto isWow64Process = kernel ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
                                             GetProcAddress(kernel, "IsWow64Process")))
                                       : nullptr;
    BOOL wow64 = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        return 0;
    return KEY_WOW64_64KEY;
#endif
}
}

bool OtherViewHas(const wchar_t* path)
{
    const REGSAM view = OtherView();
    if (view == 0)
        return false;
    RegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace ClassesRoot
