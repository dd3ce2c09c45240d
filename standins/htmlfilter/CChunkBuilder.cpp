#include "CChunkBuilder.h"

#include <utility>

#include "ReferenceFilterIds.h"

namespace {
bool IsHtmlSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}
}

void CChunkBuilder::Raise(CHUNK_BREAKTYPE type)
{
    if (type > m_nextBreak)
        m_nextBreak = type;
}

void CChunkBuilder::Text(wchar_t c)
{
    if (c == L'\0')
        return;  // never part of a page's text
    if (m_collapse) {
        if (IsHtmlSpace(c)) {
            if (!m_text.empty())
                m_space = true;
            else
                Raise(CHUNK_EOW);
            return;
        }
        if (m_space) {
            m_text += L' ';
            m_space = false;
        }
    }
    m_text += c;
    SplitIfFull();
}

void CChunkBuilder::Text(const wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        Text(text[i]);
}

void CChunkBuilder::WordBreak()
{
    Text(L' ');
}

void CChunkBuilder::SplitIfFull()
{
    if (m_text.size() < kMaxChunkChars)
        return;
    // Cut at the last white space near the end, so no word is split.
    const size_t low = m_text.size() - kSplitWindow;
    for (size_t i = m_text.size(); i-- > low;) {
        if (!IsHtmlSpace(m_text[i]))
            continue;
        // Collapsed text drops the space at the cut (the next chunk starts with
        // a word break); kept text keeps it at the end of this chunk.
        std::wstring rest = m_text.substr(i + 1);
        m_text.resize(m_collapse ? i : i + 1);
        Emit(std::move(m_text));
        m_text = std::move(rest);
        if (m_collapse)
            Raise(CHUNK_EOW);
        return;
    }
    Emit(std::move(m_text));
    m_text.clear();
}

void CChunkBuilder::Break(CHUNK_BREAKTYPE type)
{
    Flush();
    Raise(type);
}

void CChunkBuilder::Value(const GUID& propSet, PROPID propId, const std::wstring& name, const std::wstring& value)
{
    Flush();
    PageChunk chunk;
    chunk.isValue = true;
    chunk.breakType = m_nextBreak;
    chunk.propSet = propSet;
    chunk.propId = propId;
    chunk.name = name;
    chunk.content = value;
    m_ready.push_back(std::move(chunk));
    // Text after the value is not glued to text before it.
    m_nextBreak = CHUNK_EOW;
}

void CChunkBuilder::Finish()
{
    Flush();
}

void CChunkBuilder::Flush()
{
    m_space = false;
    if (m_text.empty())
        return;
    Emit(std::move(m_text));
    m_text.clear();
}

void CChunkBuilder::Emit(std::wstring text)
{
    PageChunk chunk;
    chunk.breakType = m_nextBreak;
    chunk.propSet = kStoragePropSet;
    chunk.propId = kContentsPropId;
    chunk.content = std::move(text);
    m_ready.push_back(std::move(chunk));
    m_nextBreak = CHUNK_NO_BREAK;
}

PageChunk CChunkBuilder::Take()
{
    PageChunk chunk = std::move(m_ready.front());
    m_ready.pop_front();
    return chunk;
}
