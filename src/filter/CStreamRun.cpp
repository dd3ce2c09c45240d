#include "filter/CStreamRun.h"

#include <new>
#include <vector>

#include "chmformat/CChmReader.h"
#include "chmformat/CStreamByteSource.h"
#include "crawler/CChmEntryWalk.h"
#include "crawler/PageFileWriter.h"
#include "filter/CHostProcessInfo.h"
#include "filter/CPageStream.h"
#include "util/owners/ComPtr.h"
#include "util/owners/UniqueHandle.h"

namespace {
constexpr char kSystemName[] = "/#SYSTEM";

bool SameAsciiNoCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (x != b[i])
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// The extension of a page's name, dot included; empty when it has none.
std::wstring ExtensionOf(const std::wstring& name)
{
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}
}  // namespace

CStreamRun::CStreamRun(CHostProcessInfo& host) : m_host(host) {}

CStreamRun::~CStreamRun()
{
    DeletePageFile();
}

bool CStreamRun::Open(IStream* document)
{
    std::unique_ptr<CStreamByteSource> source(new CStreamByteSource);
    if (!document || !source->Open(document))
        return false;
    std::unique_ptr<CChmReader> reader(new CChmReader);
    if (reader->Open(std::move(source)) != ChmFault::None)
        return true;  // a damaged help file: a title from the name, no page
    m_walk.reset(new CChmEntryWalk(reader->Listing()));
    m_reader = std::move(reader);
    return true;
}

bool CStreamRun::Title(size_t capacity, ChmTitle& title)
{
    if (!m_reader)
        return false;
    // The first entry of the name, as the storage reader's walk of the root
    // meets it; names differ in case only in crafted files.
    const CChmListing& listing = m_reader->Listing();
    for (size_t entry = 0; entry < listing.Count(); ++entry) {
        if (!SameAsciiNoCase(listing.Name(entry), kSystemName))
            continue;
        std::vector<BYTE> bytes;
        if (m_reader->ReadAll(entry, bytes) != ChmFault::None)
            return false;
        return DecodeChmTitle(bytes.data(), bytes.size(), capacity, title);
    }
    return false;
}

CStreamRun::Step CStreamRun::Next(ForeignPtr<IFilter>& filter, ForeignModule& module)
{
    DeletePageFile();
    size_t entry = 0;
    std::wstring folder;
    std::wstring name;
    if (!m_walk || !m_walk->Next(entry, folder, name))
        return Step::End;
    // Only pages that have a filter are read at all, as on the file path.
    if (!m_host.HasPageFilter(name.c_str()) || m_reader->Length(entry) > CChmReader::kMaxStreamBytes)
        return Step::Skipped;
    std::vector<BYTE> bytes;
    if (m_reader->ReadAll(entry, bytes) != ChmFault::None)
        return Step::Skipped;

    ComPtr<CPageStream> page(CPageStream::Create(std::move(bytes), name.c_str()));
    if (!page)
        return Step::Skipped;
    bool needsFile = false;
    module = m_host.LoadPageFilterOnStream(name.c_str(), page.get(), filter, needsFile);
    if (filter)
        return Step::Page;
    if (!needsFile || !WritePageFile(name, page->Bytes().data(), page->Bytes().size()))
        return Step::Skipped;
    page.reset();
    module = m_host.LoadPageFilter(m_pageFile.c_str(), filter);
    return filter ? Step::Page : Step::Skipped;
}

bool CStreamRun::WritePageFile(const std::wstring& name, const BYTE* data, size_t size)
{
    if (!m_folder.Path() && (!m_folder.Choose() || !m_folder.Make()))
        return false;
    // The folder is the run's own and holds one page at a time: a fixed base
    // name with the page's extension, which the page filter's lookup reads.
    std::wstring path = m_folder.Path();
    path += L"\\page";
    path += ExtensionOf(name);
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    m_pageFile = path;
    // A page is at most the reader's cap, far below 4 GB.
    const HRESULT hr = ::WritePageFile(file.get(), data, static_cast<DWORD>(size));
    file.reset();
    if (FAILED(hr)) {
        DeletePageFile();
        return false;
    }
    return true;
}

void CStreamRun::DeletePageFile()
{
    if (!m_pageFile.empty())
        DeleteFileW(m_pageFile.c_str());
    m_pageFile.clear();
}
