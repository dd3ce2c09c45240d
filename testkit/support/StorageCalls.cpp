#include "StorageCalls.h"

#include <algorithm>

#include "crawler/IITStorage.h"
#include "util/owners/CoTaskMemBlock.h"

ComPtr<IStorage> OpenChmRoot(const std::wstring& chm)
{
    ComPtr<IITStorage> component;
    ComPtr<IStorage> root;
    if (FAILED(component.receive([](IITStorage** out) {
            return CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                    reinterpret_cast<void**>(out));
        })))
        return root;
    root.receive([&](IStorage** out) {
        return component->StgOpenStorage(chm.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, out);
    });
    return root;
}

ComPtr<IStorage> OpenFolder(const ComPtr<IStorage>& root, const std::wstring& folder)
{
    ComPtr<IStorage> level = root;
    size_t start = 0;
    while (level && start < folder.size()) {
        const size_t end = std::min(folder.find(L'\\', start), folder.size());
        const std::wstring leaf = folder.substr(start, end - start);
        ComPtr<IStorage> next;
        next.receive([&](IStorage** out) {
            return level->OpenStorage(leaf.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, out);
        });
        level = next;
        start = end + 1;
    }
    return level;
}

std::string ReadStream(IStream* stream)
{
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

std::vector<std::wstring> ElementNames(IStorage* storage)
{
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(elements.receive([&](IEnumSTATSTG** out) { return storage->EnumElements(0, nullptr, 0, out); })) ||
        !elements)
        return {};
    return ElementNames(elements.get());
}

std::vector<std::wstring> ElementNames(IEnumSTATSTG* elements)
{
    std::vector<std::wstring> names;
    STATSTG stat = {};
    ULONG fetched = 0;
    // A fetched-count pointer: Wine's own enumerator writes it unchecked.
    while (elements->Next(1, &stat, &fetched) == S_OK && fetched == 1) {
        CoTaskMemBlock<wchar_t> name(stat.pwcsName);
        names.push_back(name.get() ? name.get() : L"");
    }
    return names;
}
