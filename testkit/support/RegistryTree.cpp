#include "RegistryTree.h"

#include <stdexcept>
#include <vector>

#include "util/owners/RegKey.h"

namespace {
std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD bytes)
{
    if (type != REG_SZ)
        return L"(type " + std::to_wstring(type) + L")";
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

void ReadKey(HKEY key, const std::wstring& relative, RegistryTree::Entries& out)
{
    if (!relative.empty())
        out[relative] = RegistryTree::kNoValue;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes + sizeof(wchar_t));
        nameLength = 16384;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
            break;
        const std::wstring text = ValueText(type, data, bytes);
        if (name[0] == L'\0')
            out[relative] = text;
        else
            out[relative + L"|" + name] = text;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegKey child;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, child.put()) != ERROR_SUCCESS)
            continue;
        ReadKey(child.get(), relative.empty() ? name : relative + L"\\" + name, out);
    }
}
}

RegistryTree::Entries RegistryTree::Read(HKEY root, const std::wstring& path)
{
    Entries out;
    RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return out;
    ReadKey(key.get(), L"", out);
    return out;
}

void RegistryTree::Write(HKEY root, const Entries& entries)
{
    for (const auto& [path, value] : entries) {
        const size_t bar = path.find(L'|');
        const std::wstring keyPath = path.substr(0, bar);
        RegKey key;
        if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot create a registry key of a fixture");
        if (bar == std::wstring::npos && value == kNoValue)
            continue;
        const std::wstring name = bar == std::wstring::npos ? L"" : path.substr(bar + 1);
        if (RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            throw std::runtime_error("cannot write a registry value of a fixture");
    }
}
