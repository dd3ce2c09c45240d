#include "CScriptPageFilter.h"

#include <filterr.h>

#include <new>

#include "ScriptFilterModule.h"
#include "scriptfilter/ScriptFilterClassId.h"
#include "comserver/InterfaceTable.h"

namespace {
// PSGUID_STORAGE / PID_STG_CONTENTS: the property of a page's body text.
constexpr GUID kStorageProperties = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr PROPID kContents = 0x13;
// A property of the page's own, such as an HTML meta value.
constexpr GUID kPageProperties = {0xD1B5D3F0, 0xC0B3, 0x11CF, {0x9A, 0x92, 0x00, 0xA0, 0xC9, 0x08, 0xDB, 0xF1}};
constexpr PROPID kPageValue = 0x1000;

// What a page filter built with the platform's compiler does when it throws.
void RaiseLikeAThrow()
{
    RaiseException(ScriptFilter::kCppExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}
}

CScriptPageFilter::CScriptPageFilter()
{
    ScriptFilterModule::Entered("constructor");
    ScriptFilterModule::ObjectCreated();
}

CScriptPageFilter::~CScriptPageFilter()
{
    ScriptFilterModule::ObjectDestroyed();
}

STDMETHODIMP CScriptPageFilter::QueryInterface(REFIID riid, void** ppv)
{
    ScriptFilterModule::Entered("queryinterface");
    const InterfaceRow rows[] = {
        {__uuidof(IFilter), static_cast<IFilter*>(this)},
        {IID_IPersistFile, static_cast<IPersistFile*>(this)},
        {IID_IPersist, static_cast<IPersistFile*>(this)},
        {__uuidof(IInitializeWithStream), static_cast<IInitializeWithStream*>(this)},
    };
    return QueryInterfaceByTable(rows, riid, ppv);
}

STDMETHODIMP_(ULONG) CScriptPageFilter::AddRef()
{
    ScriptFilterModule::Entered("addref");
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CScriptPageFilter::Release()
{
    ScriptFilterModule::Entered("release");
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CScriptPageFilter::Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags)
{
    ScriptFilterModule::Entered("init");
    ScriptFilterModule::RecordInit(grfFlags, cAttributes, aAttributes);
    if (m_script.throwInInit)
        RaiseLikeAThrow();
    if (!m_script.replaceFile.empty() &&
        MoveFileExW(m_script.replaceFile.c_str(), (m_script.replaceFile + L".gone").c_str(), MOVEFILE_REPLACE_EXISTING)) {
        HANDLE file = CreateFileW(m_script.replaceFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, "not a program", 13, &written, nullptr);
            CloseHandle(file);
        }
    }
    if (pFlags)
        *pFlags = 0;
    m_next = 0;
    m_current = nullptr;
    return m_script.initResult;
}

STDMETHODIMP CScriptPageFilter::GetChunk(STAT_CHUNK* pStat)
{
    ScriptFilterModule::Entered("getchunk");
    if (m_script.throwInChunk)
        RaiseLikeAThrow();
    if (!pStat)
        return E_INVALIDARG;
    m_current = nullptr;
    if (m_next >= m_script.steps.size())
        return FILTER_E_END_OF_CHUNKS;
    const PageScript::Step& step = m_script.steps[m_next++];
    if (step.kind == PageScript::Kind::ChunkError)
        return step.result;
    m_current = &step;
    m_textOffset = 0;
    m_valueGiven = false;
    const bool text = step.kind == PageScript::Kind::Text;
    // Numbers of its own, which the filter that calls it replaces.
    pStat->idChunk = 100 + static_cast<ULONG>(m_next);
    pStat->breakType = CHUNK_EOS;
    pStat->flags = text ? CHUNK_TEXT : CHUNK_VALUE;
    pStat->locale = 0x0409;
    pStat->attribute.guidPropSet = text ? kStorageProperties : kPageProperties;
    pStat->attribute.psProperty.ulKind = PRSPEC_PROPID;
    pStat->attribute.psProperty.propid = text ? kContents : kPageValue;
    pStat->idChunkSource = 200 + static_cast<ULONG>(m_next);
    pStat->cwcStartSource = 0;
    pStat->cwcLenSource = 0;
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer)
{
    ScriptFilterModule::Entered("gettext");
    if (m_script.throwInText)
        RaiseLikeAThrow();
    if (!m_current || m_current->kind != PageScript::Kind::Text)
        return FILTER_E_NO_TEXT;
    if (m_current->result != S_OK)
        return m_current->result;
    if (!pcwcBuffer || !awcBuffer)
        return E_INVALIDARG;
    const std::wstring& words = m_current->words;
    if (m_textOffset >= words.size())
        return FILTER_E_NO_MORE_TEXT;
    ULONG count = static_cast<ULONG>(words.size() - m_textOffset);
    if (count > *pcwcBuffer)
        count = *pcwcBuffer;
    words.copy(awcBuffer, count, m_textOffset);
    m_textOffset += count;
    *pcwcBuffer = count;
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::GetValue(PROPVARIANT** ppPropValue)
{
    ScriptFilterModule::Entered("getvalue");
    if (m_script.throwInValue) {
        // As a filter that fails half-way: something is in the caller's slot.
        if (ppPropValue)
            *ppPropValue = reinterpret_cast<PROPVARIANT*>(static_cast<ULONG_PTR>(0x10));
        RaiseLikeAThrow();
    }
    if (!m_current || m_current->kind != PageScript::Kind::Value)
        return FILTER_E_NO_VALUES;
    if (m_valueGiven)
        return FILTER_E_NO_MORE_VALUES;
    if (!ppPropValue)
        return E_INVALIDARG;
    if (m_script.wildValue) {
        *ppPropValue = reinterpret_cast<PROPVARIANT*>(static_cast<ULONG_PTR>(0x10));
        m_valueGiven = true;
        return S_OK;
    }
    const std::wstring& words = m_current->words;
    auto* value = static_cast<PROPVARIANT*>(CoTaskMemAlloc(sizeof(PROPVARIANT)));
    auto* text = static_cast<wchar_t*>(CoTaskMemAlloc((words.size() + 1) * sizeof(wchar_t)));
    if (!value || !text) {
        CoTaskMemFree(value);
        CoTaskMemFree(text);
        return E_OUTOFMEMORY;
    }
    words.copy(text, words.size());
    text[words.size()] = L'\0';
    PropVariantInit(value);
    value->vt = VT_LPWSTR;
    value->pwszVal = text;
    *ppPropValue = value;
    m_valueGiven = true;
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::BindRegion(FILTERREGION, REFIID, void**)
{
    ScriptFilterModule::Entered("bindregion");
    return E_NOTIMPL;
}

STDMETHODIMP CScriptPageFilter::GetClassID(CLSID* pClassID)
{
    ScriptFilterModule::Entered("getclassid");
    if (!pClassID)
        return E_POINTER;
    *pClassID = ScriptFilter::ClassId;
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::IsDirty()
{
    ScriptFilterModule::Entered("isdirty");
    return S_FALSE;
}

STDMETHODIMP CScriptPageFilter::Load(LPCOLESTR pszFileName, DWORD)
{
    ScriptFilterModule::Entered("load");
    if (!pszFileName)
        return E_INVALIDARG;
    HANDLE file = CreateFileW(pszFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0 && bytes.size() < (1u << 20))
        bytes.append(buffer, read);
    CloseHandle(file);

    Take(bytes, pszFileName);
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::Initialize(IStream* pstream, DWORD)
{
    ScriptFilterModule::Entered("initialize");
    if (!pstream)
        return E_INVALIDARG;
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(pstream->Read(buffer, sizeof(buffer), &read)) && read > 0 && bytes.size() < (1u << 20))
        bytes.append(buffer, read);
    std::wstring name;
    STATSTG stat{};
    if (SUCCEEDED(pstream->Stat(&stat, STATFLAG_DEFAULT)) && stat.pwcsName) {
        name = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
    }
    Take(bytes, name);
    return S_OK;
}

void CScriptPageFilter::Take(const std::string& bytes, std::wstring name)
{
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    m_script = PageScript::Parse(bytes, name);
    m_next = 0;
    m_current = nullptr;
    ScriptFilterModule::PageLoaded();
}

STDMETHODIMP CScriptPageFilter::Save(LPCOLESTR, BOOL)
{
    ScriptFilterModule::Entered("save");
    return E_NOTIMPL;
}

STDMETHODIMP CScriptPageFilter::SaveCompleted(LPCOLESTR)
{
    ScriptFilterModule::Entered("savecompleted");
    return S_OK;
}

STDMETHODIMP CScriptPageFilter::GetCurFile(LPOLESTR*)
{
    ScriptFilterModule::Entered("getcurfile");
    return E_NOTIMPL;
}
