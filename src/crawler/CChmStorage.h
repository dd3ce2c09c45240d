#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "crawler/CChmStorageNode.h"
#include "crawler/IITStorage.h"
#include "util/ComPtr.h"

class CChmStreamCheck;

// Reads a CHM through the InfoTech storage component as one flat, depth-first
// sequence of streams. Each stream can be read into memory or written to a file.
class CChmStorage {
public:
    CChmStorage();
    ~CChmStorage();
    CChmStorage(const CChmStorage&) = delete;
    CChmStorage& operator=(const CChmStorage&) = delete;

    // mirrorRoot may be null; with one, the walk recreates the CHM's folders under it.
    // A file whose own structure fails our check is refused before the storage
    // component sees it (STG_E_DOCFILECORRUPT, or STG_E_READFAULT when it
    // cannot be read), as the component is not safe on damaged files.
    HRESULT Open(const wchar_t* chmPath, const wchar_t* mirrorRoot);
    HRESULT First(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);
    HRESULT Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);
    // The block comes from LocalAlloc; the caller frees it with LocalFree.
    // S_FALSE, with the bytes there were, when the stream is shorter than its
    // element's size.
    HRESULT ReadCurrent(BYTE** block, DWORD* byteCount);
    // S_OK only when the whole stream was written; after a short stream
    // (S_FALSE) or a failed write no file is left at filePath.
    HRESULT ExtractCurrent(const wchar_t* filePath);
    void Close();

private:
    // Whether the component may read the walk's current stream.
    bool CurrentMayBeRead();

    ComPtr<IITStorage> m_component;
    ComPtr<IStorage> m_root;
    std::unique_ptr<CChmStorageNode> m_rootLevel;
    std::unique_ptr<wchar_t[]> m_mirrorRoot;
    std::unique_ptr<CChmStreamCheck> m_streams;
};
