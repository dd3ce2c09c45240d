#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "util/owners/CoTaskMemBlock.h"
#include "util/owners/ComPtr.h"

// One level of the depth-first walk over a CHM: one open storage, the position
// of its enumeration and, while the walk is inside one of its sub-storages,
// the deeper level.
class CChmStorageNode {
public:
    static constexpr size_t kPathCapacity = 2048;

    CChmStorageNode();
    ~CChmStorageNode();
    CChmStorageNode(const CChmStorageNode&) = delete;
    CChmStorageNode& operator=(const CChmStorageNode&) = delete;

    // Makes this level from a storage, its path inside the CHM and the mirror
    // root (may be null). E_FAIL when the mirror folder's path does not fit.
    HRESULT Create(IStorage* storage, const wchar_t* relativePath, const wchar_t* mirrorRoot);
    // Makes this level hold one stream of the storage, found by its name
    // rather than listed: its current element, sized as the stream says (or
    // as the directory lists it, when the stream cannot say). No walk goes on
    // from it. The mirror folder is made as by Create, with the folders above
    // it.
    HRESULT CreateForStream(IStorage* storage, const wchar_t* relativePath, const wchar_t* mirrorRoot,
                            const wchar_t* name, ULONGLONG listedSize);

    // The walk of this level passes over its sub-storages.
    void KeepToThisLevel() { m_descend = false; }

    // Next stream of this level or of the levels below it.
    HRESULT Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);

    // The level whose current element is the walk's current stream.
    CChmStorageNode* Deepest();

    // The current element, for checks made before it is read.
    const wchar_t* RelativePath() const { return m_relativePath; }
    const wchar_t* CurrentName() const { return m_currentName.get(); }
    ULONGLONG CurrentSize() const { return m_current.cbSize.QuadPart; }

    // At most limit bytes are read, whatever size the component reported.
    HRESULT ReadCurrent(BYTE** block, DWORD* byteCount, ULONGLONG limit = ~0ull);
    HRESULT ExtractCurrent(const wchar_t* filePath, ULONGLONG limit = ~0ull);

private:
    HRESULT MakeMirrorFolder(const wchar_t* mirrorRoot, bool withParents);
    HRESULT EnterStorage(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);

    ComPtr<IEnumSTATSTG> m_enumerator;
    ComPtr<IStorage> m_storage;
    std::unique_ptr<CChmStorageNode> m_child;
    bool m_descend = true;
    wchar_t m_relativePath[kPathCapacity];
    std::unique_ptr<wchar_t[]> m_mirrorRoot;
    // The element the enumerator returned last. Its name, which the enumerator
    // allocated, is owned by m_currentName; m_current.pwcsName stays null.
    STATSTG m_current;
    CoTaskMemBlock<wchar_t> m_currentName;
};
