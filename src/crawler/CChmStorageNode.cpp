#include "crawler/CChmStorageNode.h"

#include <cwchar>
#include <new>

#include "crawler/PageFileWriter.h"
#include "util/strings/BoundedString.h"
#include "util/strings/CopyOf.h"
#include "util/owners/LocalBlock.h"
#include "util/owners/UniqueHandle.h"

namespace {
constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;


// Element names come from the file and a CHM can be crafted: a name that is
// empty, "." or "..", or holds a separator or a drive would make a folder or
// file path that points elsewhere than the element, so the walk passes over it.
bool IsWalkableName(const wchar_t* name)
{
    if (!name || name[0] == L'\0')
        return false;
    if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
        return false;
    return wcspbrk(name, L"\\/:") == nullptr;
}
}

CChmStorageNode::CChmStorageNode() : m_relativePath{}, m_current{} {}

CChmStorageNode::~CChmStorageNode()
{
    m_mirrorRoot.reset();
    m_currentName.reset();
    m_child.reset();
    m_enumerator.reset();
    m_storage.reset();
}

HRESULT CChmStorageNode::Create(IStorage* storage, const wchar_t* relativePath, const wchar_t* mirrorRoot)
{
    // A path that is too long is cut, as the level only reports it.
    BoundedCopy(m_relativePath, kPathCapacity, relativePath);
    const size_t length = wcslen(m_relativePath);
    if (length != 0 && m_relativePath[length - 1] == L'\\')
        m_relativePath[length - 1] = L'\0';

    m_storage.copy_from(storage);
    // Without an enumerator every Next of this level fails.
    if (!m_storage ||
        FAILED(m_enumerator.receive([this](IEnumSTATSTG** out) { return m_storage->EnumElements(0, nullptr, 0, out); })) ||
        !m_enumerator)
        return S_OK;

    const HRESULT hr = MakeMirrorFolder(mirrorRoot, false);
    if (FAILED(hr))
        return hr;
    m_enumerator->Reset();
    return S_OK;
}

HRESULT CChmStorageNode::CreateForStream(IStorage* storage, const wchar_t* relativePath, const wchar_t* mirrorRoot,
                                         const wchar_t* name, ULONGLONG listedSize)
{
    if (!storage || !name || FAILED(BoundedCopy(m_relativePath, kPathCapacity, relativePath)))
        return E_FAIL;
    m_storage.copy_from(storage);
    ComPtr<IStream> stream;
    HRESULT hr = stream.receive([this, name](IStream** out) {
        return m_storage->OpenStream(name, nullptr, kReadExclusive, 0, out);
    });
    if (FAILED(hr))
        return hr;
    if (!stream)
        return E_FAIL;
    STATSTG stat = {};
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        CoTaskMemBlock<wchar_t> ownName(stat.pwcsName);  // a component may name it anyway
        stat.pwcsName = nullptr;
    } else {
        stat = {};
        stat.cbSize.QuadPart = listedSize;
    }
    m_current = stat;
    m_current.type = STGTY_STREAM;
    const size_t length = wcslen(name);
    m_currentName.reset(static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t))));
    if (!m_currentName)
        return E_OUTOFMEMORY;
    wmemcpy(m_currentName.get(), name, length + 1);
    return MakeMirrorFolder(mirrorRoot, true);
}

HRESULT CChmStorageNode::MakeMirrorFolder(const wchar_t* mirrorRoot, bool withParents)
{
    if (!mirrorRoot)
        return S_OK;
    m_mirrorRoot = CopyOf(mirrorRoot);
    if (!m_mirrorRoot)
        return E_OUTOFMEMORY;
    // On the heap: a crafted CHM can nest a thousand levels deep.
    std::unique_ptr<wchar_t[]> folder(new (std::nothrow) wchar_t[kPathCapacity]);
    if (!folder)
        return E_OUTOFMEMORY;
    if (FAILED(BoundedCopy(folder.get(), kPathCapacity, mirrorRoot)))
        return E_FAIL;
    size_t rootLength = wcslen(folder.get());
    if ((rootLength == 0 || folder[rootLength - 1] != L'\\') &&
        FAILED(BoundedAppend(folder.get(), kPathCapacity, L"\\")))
        return E_FAIL;
    rootLength = wcslen(folder.get());
    if (FAILED(BoundedAppend(folder.get(), kPathCapacity, m_relativePath)))
        return E_FAIL;
    // A walk makes one level at a time, parents first; a stream found by its
    // name needs the folders above it too. An existing folder is fine.
    if (withParents) {
        for (size_t i = rootLength; folder[i] != L'\0'; ++i) {
            if (folder[i] != L'\\')
                continue;
            folder[i] = L'\0';
            CreateDirectoryW(folder.get(), nullptr);
            folder[i] = L'\\';
        }
    }
    CreateDirectoryW(folder.get(), nullptr);
    return S_OK;
}

CChmStorageNode* CChmStorageNode::Deepest()
{
    CChmStorageNode* level = this;
    while (level->m_child)
        level = level->m_child.get();
    return level;
}

HRESULT CChmStorageNode::Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    if (m_child) {
        if (m_child->Next(name, nameCapacity, folder, folderCapacity) == S_OK)
            return S_OK;
        // Whatever ended the child's walk ends only the child.
        m_child.reset();
    }

    m_currentName.reset();
    if (!m_enumerator)
        return E_FAIL;

    for (;;) {
        STATSTG element = {};
        // A fetched-count pointer is always valid COM, and some components
        // write it without checking.
        ULONG fetched = 0;
        const HRESULT hr = m_enumerator->Next(1, &element, &fetched);
        if (hr != S_OK)
            return hr;
        m_currentName.reset(element.pwcsName);
        element.pwcsName = nullptr;
        m_current = element;
        if (!IsWalkableName(m_currentName.get())) {
            m_currentName.reset();
            continue;
        }

        if (m_current.type == STGTY_STREAM) {
            if (FAILED(BoundedCopy(folder, folderCapacity, m_relativePath)) ||
                FAILED(BoundedCopy(name, nameCapacity, m_currentName.get())))
                return E_FAIL;
            return S_OK;
        }
        if (m_current.type == STGTY_STORAGE && m_descend) {
            const HRESULT entered = EnterStorage(name, nameCapacity, folder, folderCapacity);
            if (entered == S_OK)
                return S_OK;
            if (FAILED(entered))
                return entered;
            // The sub-storage held no stream: go on with this level.
        }
        m_currentName.reset();
    }
}

// Opens the current element as a sub-storage and asks it for its first stream.
// S_OK with a stream, S_FALSE when it gave none, a failure code otherwise.
HRESULT CChmStorageNode::EnterStorage(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    ComPtr<IStorage> sub;
    HRESULT hr = sub.receive([this](IStorage** out) {
        return m_storage->OpenStorage(m_currentName.get(), nullptr, kReadExclusive, nullptr, 0, out);
    });
    if (FAILED(hr))
        return hr;
    if (!sub)
        return E_FAIL;

    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[kPathCapacity]);
    if (!path)
        return E_OUTOFMEMORY;
    if (FAILED(BoundedCopy(path.get(), kPathCapacity, m_relativePath)))
        return E_FAIL;
    if (m_relativePath[0] != L'\0' && FAILED(BoundedAppend(path.get(), kPathCapacity, L"\\")))
        return E_FAIL;
    if (FAILED(BoundedAppend(path.get(), kPathCapacity, m_currentName.get())))
        return E_FAIL;

    std::unique_ptr<CChmStorageNode> child(new (std::nothrow) CChmStorageNode);
    if (!child)
        return E_OUTOFMEMORY;
    hr = child->Create(sub.get(), path.get(), m_mirrorRoot.get());
    if (FAILED(hr))
        return hr;
    path.reset();
    sub.reset();

    m_child = std::move(child);
    if (m_child->Next(name, nameCapacity, folder, folderCapacity) == S_OK)
        return S_OK;
    m_child.reset();
    return S_FALSE;
}

HRESULT CChmStorageNode::ReadCurrent(BYTE** block, DWORD* byteCount, ULONGLONG limit)
{
    if (!block || !byteCount)
        return E_POINTER;
    *block = nullptr;
    *byteCount = 0;
    if (!m_storage || !m_currentName || m_current.type != STGTY_STREAM)
        return E_FAIL;

    ComPtr<IStream> stream;
    HRESULT hr = stream.receive([this](IStream** out) {
        return m_storage->OpenStream(m_currentName.get(), nullptr, kReadExclusive, 0, out);
    });
    if (FAILED(hr))
        return hr;
    if (!stream)
        return E_FAIL;

    const DWORD size = limit < m_current.cbSize.LowPart ? static_cast<DWORD>(limit) : m_current.cbSize.LowPart;
    LocalBlock<BYTE> data(static_cast<BYTE*>(LocalAlloc(LPTR, size)));
    if (!data)
        return E_OUTOFMEMORY;
    ULONG read = 0;
    hr = stream->Read(data.get(), size, &read);
    if (FAILED(hr))
        return hr;  // the block goes with the failure: nothing half-read is handed out
    // Never report more than the block holds, whatever the stream claims. Short
    // or whole is judged by the bytes: components differ in what Read returns.
    *byteCount = read < size ? read : size;
    *block = data.detach();
    return read < size ? S_FALSE : S_OK;
}

HRESULT CChmStorageNode::ExtractCurrent(const wchar_t* filePath, ULONGLONG limit)
{
    BYTE* raw = nullptr;
    DWORD count = 0;
    const HRESULT hr = ReadCurrent(&raw, &count, limit);
    LocalBlock<BYTE> data(raw);
    // A short stream is not extracted: a truncated page would be indexed as if
    // it were whole.
    if (hr != S_OK)
        return hr;

    UniqueHandle file(CreateFileW(filePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return E_FAIL;
    const HRESULT written = WritePageFile(file.get(), data.get(), count);
    data.reset();
    if (written != S_OK) {
        // A full disk leaves a truncated page: take it away rather than have it
        // read as the whole page.
        file.reset();
        DeleteFileW(filePath);
        return written;
    }
    SetFileTime(file.get(), &m_current.ctime, &m_current.atime, &m_current.mtime);
    return S_OK;
}
