#include "crawler/CChmStorage.h"

#include <cwchar>
#include <new>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "util/CopyOf.h"

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

HRESULT CChmStorage::First(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    m_rootLevel.reset();
    if (!m_root)
        return E_FAIL;
    std::unique_ptr<CChmStorageNode> level(new (std::nothrow) CChmStorageNode);
    if (!level || FAILED(level->Create(m_root.get(), L"", m_mirrorRoot.get())))
        return E_FAIL;
    m_rootLevel = std::move(level);
    return m_rootLevel->Next(name, nameCapacity, folder, folderCapacity);
}

HRESULT CChmStorage::Next(wchar_t* name, size_t nameCapacity, wchar_t* folder, size_t folderCapacity)
{
    if (!m_root || !m_rootLevel)
        return E_FAIL;
    return m_rootLevel->Next(name, nameCapacity, folder, folderCapacity);
}

bool CChmStorage::CurrentMayBeRead()
{
    const CChmStorageNode* current = m_rootLevel->Deepest();
    // Without a current stream the node refuses the read itself.
    return !m_streams || !current->CurrentName() || m_streams->Allows(current->RelativePath(), current->CurrentName(), current->CurrentSize());
}

HRESULT CChmStorage::ReadCurrent(BYTE** block, DWORD* byteCount)
{
    if (block)
        *block = nullptr;
    if (byteCount)
        *byteCount = 0;
    if (!m_rootLevel)
        return E_FAIL;
    // A page whose compressed frames would take the component's decoder out
    // of its memory is refused as a damaged stream.
    if (!CurrentMayBeRead())
        return STG_E_DOCFILECORRUPT;
    return m_rootLevel->Deepest()->ReadCurrent(block, byteCount);
}

HRESULT CChmStorage::ExtractCurrent(const wchar_t* filePath)
{
    if (!m_rootLevel || !filePath)
        return E_FAIL;
    if (!CurrentMayBeRead())
        return STG_E_DOCFILECORRUPT;
    return m_rootLevel->Deepest()->ExtractCurrent(filePath);
}

void CChmStorage::Close()
{
    m_streams.reset();
    m_mirrorRoot.reset();
    m_rootLevel.reset();
    m_root.reset();
    m_component.reset();
}
