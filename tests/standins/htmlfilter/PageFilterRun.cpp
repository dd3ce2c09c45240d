#include "PageFilterRun.h"

#include <gtest/gtest.h>

#include <filterr.h>
#include <propidl.h>

#include "htmlfilter/ReferenceFilterIds.h"
#include "support/ClassObject.h"
#include "support/LoadedModule.h"
#include "support/Narrow.h"
#include "util/owners/ComPtr.h"

namespace {
constexpr size_t kMaxChunkChars = 4096;

std::string PropertyOf(const STAT_CHUNK& stat)
{
    const FULLPROPSPEC& a = stat.attribute;
    if (a.guidPropSet == kStoragePropSet && a.psProperty.ulKind == PRSPEC_PROPID &&
        a.psProperty.propid == kContentsPropId)
        return "text";
    if (a.guidPropSet == kSummaryPropSet && a.psProperty.ulKind == PRSPEC_PROPID) {
        switch (a.psProperty.propid) {
        case kAuthorPropId: return "author";
        case kSubjectPropId: return "subject";
        case kKeywordsPropId: return "keywords";
        }
    }
    if (a.guidPropSet == kHtmlMetaPropSet && a.psProperty.ulKind == PRSPEC_LPWSTR && a.psProperty.lpwstr)
        return Narrow(a.psProperty.lpwstr);
    return "unexpected attribute";
}
}

std::vector<SeenChunk> RunPageFilter(const std::wstring& path, bool html, size_t textBuffer,
                                     const std::vector<FULLPROPSPEC>& attributes)
{
    std::vector<SeenChunk> seen;
    LoadedModule module(LoadedModule::BesideTestProgram(L"ReferencePageFilter.dll"));
    EXPECT_TRUE(module);
    if (!module)
        return seen;
    const CLSID& clsid = html ? CLSID_ReferenceHtmlFilter : CLSID_ReferenceTextFilter;
    ComPtr<IFilter> filter;
    EXPECT_EQ(S_OK, CreateThroughClassObject(ClassObjectExport(module.get()), clsid, filter));
    ComPtr<IPersistFile> persist;
    EXPECT_EQ(S_OK, filter.query(persist));
    EXPECT_EQ(S_OK, persist->Load(path.c_str(), STGM_READ));
    ULONG flags = 99;
    EXPECT_EQ(S_OK, filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES,
                                 static_cast<ULONG>(attributes.size()), attributes.empty() ? nullptr : attributes.data(),
                                 &flags));
    EXPECT_EQ(0u, flags);

    std::vector<WCHAR> buffer(textBuffer);
    for (ULONG expectedId = 1;; ++expectedId) {
        STAT_CHUNK stat{};
        const HRESULT hr = filter->GetChunk(&stat);
        if (hr == FILTER_E_END_OF_CHUNKS) {
            STAT_CHUNK again{};
            EXPECT_EQ(FILTER_E_END_OF_CHUNKS, filter->GetChunk(&again)) << "the end is not lasting";
            break;
        }
        EXPECT_EQ(S_OK, hr);
        if (hr != S_OK)
            break;
        EXPECT_EQ(expectedId, stat.idChunk);
        EXPECT_EQ(stat.idChunk, stat.idChunkSource);
        EXPECT_EQ(0u, stat.cwcStartSource);
        EXPECT_EQ(0u, stat.cwcLenSource);
        EXPECT_EQ(GetSystemDefaultLCID(), stat.locale);
        if (expectedId == 1) {
            EXPECT_EQ(CHUNK_EOC, stat.breakType) << "a page opens with a chapter break";
        }

        SeenChunk chunk{stat.breakType, stat.flags == CHUNK_VALUE, PropertyOf(stat), {}};
        if (stat.flags == CHUNK_TEXT) {
            EXPECT_EQ("text", chunk.property);
            PROPVARIANT* value = reinterpret_cast<PROPVARIANT*>(1);
            EXPECT_EQ(FILTER_E_NO_VALUES, filter->GetValue(&value));
            HRESULT textHr;
            for (;;) {
                ULONG count = static_cast<ULONG>(buffer.size());
                textHr = filter->GetText(&count, buffer.data());
                if (textHr != S_OK)
                    break;
                EXPECT_GT(count, 0u);
                EXPECT_LE(count, buffer.size());
                chunk.content.append(buffer.data(), count);
            }
            EXPECT_EQ(FILTER_E_NO_MORE_TEXT, textHr);
            ULONG count = static_cast<ULONG>(buffer.size());
            EXPECT_EQ(FILTER_E_NO_MORE_TEXT, filter->GetText(&count, buffer.data()));
            EXPECT_FALSE(chunk.content.empty()) << "empty text chunk " << stat.idChunk;
            EXPECT_LE(chunk.content.size(), kMaxChunkChars);
        } else {
            EXPECT_EQ(static_cast<DWORD>(CHUNK_VALUE), static_cast<DWORD>(stat.flags));
            ULONG count = static_cast<ULONG>(buffer.size());
            EXPECT_EQ(FILTER_E_NO_TEXT, filter->GetText(&count, buffer.data()));
            PROPVARIANT* value = nullptr;
            EXPECT_EQ(S_OK, filter->GetValue(&value));
            if (value) {
                EXPECT_EQ(VT_LPWSTR, value->vt);
                if (value->vt == VT_LPWSTR && value->pwszVal)
                    chunk.content = value->pwszVal;
                PropVariantClear(value);
                CoTaskMemFree(value);
            }
            PROPVARIANT* second = nullptr;
            EXPECT_EQ(FILTER_E_NO_MORE_VALUES, filter->GetValue(&second));
        }
        seen.push_back(std::move(chunk));
    }
    return seen;
}

std::wstring JoinedText(const std::vector<SeenChunk>& chunks)
{
    std::wstring joined;
    for (const auto& chunk : chunks) {
        if (chunk.isValue)
            continue;
        if (!joined.empty() && chunk.breakType != CHUNK_NO_BREAK)
            joined += L' ';
        joined += chunk.content;
    }
    return joined;
}
