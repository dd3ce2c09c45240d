#include "HostRun.h"

#include <filterr.h>
#include <propidl.h>

#include <cstdio>

#include "support/FolderEntries.h"
#include "support/Narrow.h"
#include "util/owners/ComPtr.h"
#include "util/com/FilterClassId.h"

namespace {

// FMTID_SummaryInformation, where the title lives.
constexpr GUID kSummary = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
// A document that never ends is a hang, whatever its pace.
constexpr size_t kMaxChunks = 200000;
constexpr size_t kMaxTextCalls = 1000000;
constexpr size_t kMaxValues = 1000;

std::string Hex(HRESULT hr)
{
    char text[16];
    snprintf(text, sizeof(text), "%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string At(size_t chunk, const std::string& what)
{
    return "chunk " + std::to_string(chunk) + ": " + what;
}

// GetValue until it stops; returns what stopped it. The first string value is
// kept when asked.
HRESULT DrainValues(IFilter* filter, size_t& count, std::wstring* first)
{
    count = 0;
    for (size_t calls = 0; calls < kMaxValues; ++calls) {
        PROPVARIANT* value = nullptr;
        const HRESULT hr = filter->GetValue(&value);
        if (hr != S_OK)
            return hr;
        if (!value)
            return E_POINTER;
        if (first && count == 0 && value->vt == VT_LPWSTR && value->pwszVal)
            *first = value->pwszVal;
        ++count;
        PropVariantClear(value);
        CoTaskMemFree(value);
    }
    return E_FAIL;
}

HRESULT DrainText(IFilter* filter, std::string& problem)
{
    for (size_t calls = 0; calls < kMaxTextCalls; ++calls) {
        WCHAR buffer[1024];
        ULONG count = 1024;
        const HRESULT hr = filter->GetText(&count, buffer);
        if (hr != S_OK && hr != FILTER_S_LAST_TEXT)
            return hr;
        if (count > 1024) {
            problem = "GetText reported more characters than the buffer holds";
            return E_FAIL;
        }
    }
    problem = "GetText never ended";
    return E_FAIL;
}

}  // namespace

HostRunResult RunHostDocument(GetClassObjectFn getClassObject, const std::wstring& path)
{
    HostRunResult result;
    auto& problems = result.problems;
    ComPtr<IClassFactory> factory;
    HRESULT hr = ClassFactory(getClassObject, CLSID_TavrinolexFilter, factory);
    if (FAILED(hr)) {
        problems.push_back("DllGetClassObject " + Hex(hr));
        return result;
    }
    ComPtr<IFilter> filter;
    hr = factory->CreateInstance(nullptr, __uuidof(IFilter), filter.put_void());
    if (FAILED(hr)) {
        problems.push_back("CreateInstance " + Hex(hr));
        return result;
    }
    ComPtr<IPersistFile> persist;
    if (FAILED(filter.query(persist))) {
        problems.push_back("no IPersistFile");
        return result;
    }
    result.load = persist->Load(path.c_str(), STGM_READ);
    ULONG flags = 0;
    result.init = filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES, 0, nullptr, &flags);
    if (flags != IFILTER_FLAGS_OLE_PROPERTIES)
        problems.push_back("Init left flags " + std::to_string(flags));

    HRESULT end = S_OK;
    for (size_t n = 1;; ++n) {
        if (n > kMaxChunks) {
            problems.push_back("the document never ended");
            break;
        }
        STAT_CHUNK stat{};
        end = filter->GetChunk(&stat);
        if (end != S_OK)
            break;
        result.chunks = n;
        if (stat.idChunk != n)
            problems.push_back(At(n, "idChunk " + std::to_string(stat.idChunk)));
        if (stat.idChunkSource != stat.idChunk)
            problems.push_back(At(n, "idChunkSource " + std::to_string(stat.idChunkSource)));
        if (n == 1) {
            const bool title = stat.flags == CHUNK_VALUE && IsEqualGUID(stat.attribute.guidPropSet, kSummary) &&
                               stat.attribute.psProperty.ulKind == PRSPEC_PROPID &&
                               stat.attribute.psProperty.propid == PIDSI_TITLE;
            if (!title)
                problems.push_back(At(n, "is not the title"));
        }
        std::string problem;
        size_t values = 0;
        if (stat.flags == CHUNK_TEXT) {
            ++result.textChunks;
            const HRESULT textEnd = DrainText(filter.get(), problem);
            if (!problem.empty())
                problems.push_back(At(n, problem));
            (void)textEnd;
            hr = DrainValues(filter.get(), values, nullptr);
            if (hr != FILTER_E_NO_VALUES || values)
                problems.push_back(At(n, "GetValue on a text chunk gave " + Hex(hr)));
        } else if (stat.flags == CHUNK_VALUE) {
            hr = DrainValues(filter.get(), values, n == 1 ? &result.title : nullptr);
            if (n == 1 && (values != 1 || hr != FILTER_E_NO_MORE_VALUES))
                problems.push_back(At(n, "title gave " + std::to_string(values) + " values, then " + Hex(hr)));
            WCHAR buffer[16];
            ULONG count = 16;
            hr = filter->GetText(&count, buffer);
            if (hr != FILTER_E_NO_TEXT)
                problems.push_back(At(n, "GetText on a value chunk gave " + Hex(hr)));
        } else {
            problems.push_back(At(n, "flags " + std::to_string(stat.flags)));
        }
    }
    if (end != FILTER_E_END_OF_CHUNKS && end != S_OK)
        problems.push_back("GetChunk ended with " + Hex(end));
    if (result.init == S_OK && result.chunks == 0)
        problems.push_back("no title chunk");
    for (int again = 0; again < 2; ++again) {
        STAT_CHUNK stat{};
        hr = filter->GetChunk(&stat);
        if (hr != FILTER_E_END_OF_CHUNKS)
            problems.push_back("GetChunk after the end gave " + Hex(hr));
    }
    return result;
}

namespace {

void ListExtra(const std::wstring& folder, const std::vector<std::wstring>& allowed, std::vector<std::string>& extra)
{
    for (const std::wstring& name : EntryNamesIn(folder)) {
        bool ok = false;
        for (const auto& a : allowed)
            ok = ok || CompareStringOrdinal(a.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
        if (!ok)
            extra.push_back(Narrow(folder + L"\\" + name));
    }
}

}  // namespace

std::vector<std::string> LeftBehind(const std::wstring& runFolder, const std::wstring& tempFolder,
                                    const std::wstring& appDataFolder)
{
    std::vector<std::string> extra;
    auto leaf = [](const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); };
    ListExtra(runFolder, {leaf(tempFolder), leaf(appDataFolder)}, extra);
    ListExtra(tempFolder, {}, extra);
    ListExtra(appDataFolder, {L"Morvanex"}, extra);
    ListExtra(appDataFolder + L"\\Morvanex", {L"IFilterProcess.ini", L"LogGuid.ini"}, extra);
    return extra;
}
