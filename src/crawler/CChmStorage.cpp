#include "crawler/CChmStorage.h"

#include <cwchar>
#include <new>

#include "chmformat/CChmReader.h"
#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/ChmEntryNames.h"
#include "util/strings/BoundedString.h"
#include "util/strings/CopyOf.h"

namespace {
constexpr DWORD kOpenMode = STGM_READ | STGM_SHARE_DENY_WRITE;
}

CChmStorage::CChmStorage() = default;

CChmStorage::~CChmStorage()
{
    Close();
}

HRESULT CChmStorage::Open(const wchar_t* chmPath, const wchar_t* mirrorRoot)
{
    // A reader opened again starts over; nothing of the earlier file stays.
    Close();

    // The storage component is not safe on damaged files: it is never given
    // one that our own check refuses, and such a file fails as one the
    // component refuses itself.
    std::unique_ptr<CChmStreamCheck> streams(new (std::nothrow) CChmStreamCheck);
    if (!streams)
        return E_OUTOFMEMORY;
    const ChmFault fault = CChmStructureCheck::Run(chmPath, streams.get());
    if (fault == ChmFault::Unreadable)
        return STG_E_READFAULT;
    if (fault != ChmFault::None)
        return STG_E_DOCFILECORRUPT;

    HRESULT hr = m_component.receive([](IITStorage** out) {
        return CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                reinterpret_cast<void**>(out));
    });
    if (FAILED(hr))
        return hr;
    if (!m_component)
        return E_FAIL;

    ComPtr<IStorage> root;
    hr = root.receive([&](IStorage** out) {
        return m_component->StgOpenStorage(chmPath, nullptr, kOpenMode, nullptr, 0, out);
    });
    if (FAILED(hr))
        return hr;
    if (!root)
        return E_FAIL;

    if (mirrorRoot) {
        m_mirrorRoot = CopyOf(mirrorRoot);
        if (!m_mirrorRoot)
            return E_OUTOFMEMORY;
    }
    m_root = std::move(root);
    m_streams = std::move(streams);
    return hr;
}

HRESULT CChmStorage::First(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity, Reach reach)
{
    m_rootLevel.reset();
    m_reach = reach;
    m_listedLevel.reset();
    m_walkEnded = false;
    if (!m_root)
        return E_FAIL;
    if (m_streams)
        m_streams->Listing().ForgetMet();
    std::unique_ptr<CChmStorageNode> level(new (std::nothrow) CChmStorageNode);
    if (!level || FAILED(level->Create(m_root.get(), L"", m_mirrorRoot.get())))
        return E_FAIL;
    if (reach == Reach::Root)
        level->KeepToThisLevel();
    m_rootLevel = std::move(level);
    return Next(name, nameCapacity, folder, folderCapacity);
}

HRESULT CChmStorage::Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    if (!m_root || !m_rootLevel)
        return E_FAIL;
    while (!m_walkEnded) {
        const HRESULT hr = m_rootLevel->Next(name, nameCapacity, folder, folderCapacity);
        if (hr == S_OK) {
            // Two names the component resolves alike give one stream: it is
            // handed out once.
            if (!FirstMeeting(ChmDirectoryPath(folder, name)))
                continue;
            return S_OK;
        }
        // A failure at the root ends everything; the end of the walk leaves
        // what it did not meet.
        if (hr != S_FALSE)
            return hr;
        m_walkEnded = true;
    }
    return NextListed(name, nameCapacity, folder, folderCapacity);
}

bool CChmStorage::FirstMeeting(const std::wstring& path)
{
    if (!m_streams)
        return true;
    try {
        return m_streams->Listing().MarkMet(path);
    } catch (...) {
        return true;  // no memory to remember it: handed out all the same
    }
}

HRESULT CChmStorage::NextListed(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    m_listedLevel.reset();
    if (!m_streams)
        return S_FALSE;
    CChmListing& listing = m_streams->Listing();
    try {
        for (size_t index = listing.NextUnmet(); index < listing.Count(); index = listing.NextUnmet()) {
            const std::string entryName = listing.Name(index);
            // The component decodes a name from UTF-8, or takes each byte for a
            // character: whichever finds the stream.
            for (const bool bytesAsCharacters : {false, true}) {
                std::wstring entryFolder;
                std::wstring entryLeaf;
                // A folder path that no level of the walk could hold is passed
                // over here too, as is a name that reaches a stream met
                // already. A name is tried once: the component answers a name
                // it resolves alike the same way.
                if (!ChmEntryPath(entryName, bytesAsCharacters, entryFolder, entryLeaf) ||
                    entryFolder.size() >= CChmStorageNode::kPathCapacity ||
                    (m_reach == Reach::Root && !entryFolder.empty()) ||
                    !listing.MarkMet(ChmDirectoryPath(entryFolder.c_str(), entryLeaf.c_str())) ||
                    FAILED(SelectListed(entryFolder, entryLeaf, listing.At(index).length)))
                    continue;
                if (FAILED(BoundedCopy(folder, folderCapacity, entryFolder.c_str())) ||
                    FAILED(BoundedCopy(name, nameCapacity, entryLeaf.c_str()))) {
                    m_listedLevel.reset();
                    break;  // does not fit the caller's buffers: passed over
                }
                return S_OK;
            }
        }
    } catch (...) {
        m_listedLevel.reset();
        return E_OUTOFMEMORY;
    }
    return S_FALSE;
}

HRESULT CChmStorage::SelectListed(const std::wstring& folder, const std::wstring& name, ULONGLONG listedSize)
{
    m_listedLevel.reset();
    ComPtr<IStorage> storage;
    storage.copy_from(m_root.get());
    for (size_t start = 0; start < folder.size();) {
        const size_t end = folder.find(L'\\', start);
        const std::wstring element = folder.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        ComPtr<IStorage> sub;
        const HRESULT hr = sub.receive([&storage, &element](IStorage** out) {
            return storage->OpenStorage(element.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, out);
        });
        if (FAILED(hr))
            return hr;
        if (!sub)
            return E_FAIL;
        storage = std::move(sub);
        start = end == std::wstring::npos ? folder.size() : end + 1;
    }
    std::unique_ptr<CChmStorageNode> level(new (std::nothrow) CChmStorageNode);
    if (!level)
        return E_OUTOFMEMORY;
    const HRESULT hr =
        level->CreateForStream(storage.get(), folder.c_str(), m_mirrorRoot.get(), name.c_str(), listedSize);
    if (FAILED(hr))
        return hr;
    m_listedLevel = std::move(level);
    return S_OK;
}

CChmStorageNode* CChmStorage::Current()
{
    if (m_walkEnded)
        return m_listedLevel.get();
    return m_rootLevel ? m_rootLevel->Deepest() : nullptr;
}

bool CChmStorage::CurrentTooLong()
{
    const CChmStorageNode* current = Current();
    if (!current->CurrentName())
        return false;
    // The component reads the low 32 bits' worth of the size it reports, and
    // no more is read than the directory lists for the name; asking the check
    // with no bytes to read follows no frame.
    ULONGLONG bytes = current->CurrentSize() & 0xFFFFFFFFull;
    ULONGLONG listed = ~0ull;
    if (m_streams && m_streams->Allows(current->RelativePath(), current->CurrentName(), 0, &listed) && listed < bytes)
        bytes = listed;
    return bytes > CChmReader::kMaxStreamBytes;
}

bool CChmStorage::CurrentMayBeRead(ULONGLONG& limit)
{
    limit = ~0ull;
    const CChmStorageNode* current = Current();
    // Without a current stream the node refuses the read itself.
    return !m_streams || !current->CurrentName() ||
           m_streams->Allows(current->RelativePath(), current->CurrentName(), current->CurrentSize(), &limit);
}

HRESULT CChmStorage::ReadCurrent(BYTE** block, DWORD* byteCount)
{
    if (block)
        *block = nullptr;
    if (byteCount)
        *byteCount = 0;
    if (!Current())
        return E_FAIL;
    // A stream whose compressed frames would take the component's decoder out
    // of its memory, or that no entry of the directory names, is refused as a
    // damaged stream. A size the component reports beyond what the directory
    // lists for the name (a component that cannot take a long name may report
    // anything) is not read.
    if (CurrentTooLong())
        return kTooLong;
    ULONGLONG limit = 0;
    if (!CurrentMayBeRead(limit))
        return STG_E_DOCFILECORRUPT;
    return Current()->ReadCurrent(block, byteCount, limit);
}

HRESULT CChmStorage::ExtractCurrent(const wchar_t* filePath)
{
    if (!Current() || !filePath)
        return E_FAIL;
    if (CurrentTooLong())
        return kTooLong;
    ULONGLONG limit = 0;
    if (!CurrentMayBeRead(limit))
        return STG_E_DOCFILECORRUPT;
    return Current()->ExtractCurrent(filePath, limit);
}

void CChmStorage::Close()
{
    m_listedLevel.reset();
    m_walkEnded = false;
    m_streams.reset();
    m_mirrorRoot.reset();
    m_rootLevel.reset();
    m_root.reset();
    m_component.reset();
}
