#include "filter/ChmSystemTitle.h"

#include <cwchar>
#include <memory>

#include "crawler/CChmStorage.h"
#include "util/owners/LocalBlock.h"

bool ReadChmSystemTitle(const wchar_t* path, size_t capacity, ChmTitle& title)
{
    title = ChmTitle();
    CChmStorage storage;
    if (!path || FAILED(storage.Open(path, nullptr)))
        return false;
    constexpr size_t kNameCapacity = 2048;
    std::unique_ptr<wchar_t[]> name(new wchar_t[kNameCapacity]());
    std::unique_ptr<wchar_t[]> folder(new wchar_t[kNameCapacity]());
    // #SYSTEM lies at the root: the walk needs no other level.
    HRESULT hr = storage.First(name.get(), kNameCapacity, folder.get(), kNameCapacity, CChmStorage::Reach::Root);
    for (; hr == S_OK; hr = storage.Next(name.get(), kNameCapacity, folder.get(), kNameCapacity)) {
        CharUpperW(name.get());
        if (folder[0] == L'\0' && wcscmp(name.get(), L"#SYSTEM") == 0)
            break;
    }
    if (hr != S_OK)
        return false;
    LocalBlock<BYTE> block;
    DWORD size = 0;
    if (FAILED(storage.ReadCurrent(block.put(), &size)) || !block)
        return false;
    return DecodeChmTitle(block.get(), size, capacity, title);
}
