#pragma once
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "crawler/CChmStorageNode.h"
#include "crawler/IITStorage.h"
#include "util/owners/ComPtr.h"

class CChmStreamCheck;

// Reads a CHM through the InfoTech storage component as one flat, depth-first
// sequence of streams. Each stream can be read into memory or written to a file.
//
// The component's own listing may miss entries: it starts where the directory
// header says the listing starts, and some compilers name a later chunk than
// the first. After the component's walk, every stream the directory lists that
// the walk did not meet is reached by its name through the component (the
// storage of its folder, then the stream), in directory order, and handed out
// the same way. A file whose header is right gives the walk alone.
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
    // How far a walk reaches: the whole tree, or the streams at the root only
    // (a title read needs no more).
    enum class Reach { Tree, Root };
    HRESULT First(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity,
                  Reach reach = Reach::Tree);
    HRESULT Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);
    // The block comes from LocalAlloc; the caller frees it with LocalFree.
    // S_FALSE, with the bytes there were, when the stream is shorter than its
    // element's size. kTooLong, with nothing allocated or read, for a stream
    // longer than our own reader hands out whole.
    HRESULT ReadCurrent(BYTE** block, DWORD* byteCount);
    // S_OK only when the whole stream was written; after a short stream
    // (S_FALSE) or a failed write no file is left at filePath; a stream too
    // long to read whole is passed over (kTooLong) and makes no file.
    HRESULT ExtractCurrent(const wchar_t* filePath);
    static constexpr HRESULT kTooLong = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    void Close();

private:
    // The level whose current element is the current stream.
    CChmStorageNode* Current();
    // Whether the component may read the current stream, and how many of its
    // bytes at most (the most its directory entries hold).
    bool CurrentMayBeRead(ULONGLONG& limit);
    // Whether the walk meets the stream of this path for the first time; the
    // listing remembers it.
    bool FirstMeeting(const std::wstring& path);
    // Whether the current stream holds more bytes than any page may: asked
    // before any of its frames are followed.
    bool CurrentTooLong();
    // The next stream the directory lists that the walk did not meet.
    HRESULT NextListed(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity);
    HRESULT SelectListed(const std::wstring& folder, const std::wstring& name, ULONGLONG listedSize);

    ComPtr<IITStorage> m_component;
    ComPtr<IStorage> m_root;
    std::unique_ptr<CChmStorageNode> m_rootLevel;
    std::unique_ptr<wchar_t[]> m_mirrorRoot;
    std::unique_ptr<CChmStreamCheck> m_streams;
    // After the walk (the listing keeps what it met): the level of the
    // stream found by name.
    Reach m_reach = Reach::Tree;
    bool m_walkEnded = false;
    std::unique_ptr<CChmStorageNode> m_listedLevel;
};
