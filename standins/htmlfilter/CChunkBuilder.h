#pragma once
#include <windows.h>

#include <deque>
#include <string>

#include "PageChunk.h"

// Turns a page's characters, breaks and meta values into chunks of bounded
// size, in document order. The first chunk of a page carries a chapter break,
// so that a reader of a stream of many pages can tell where each one starts.
class CChunkBuilder {
public:
    // Text chunks hold at most this many characters; a longer run is cut at a
    // space near the limit (a word break) or, in one long word, at the limit.
    static constexpr size_t kMaxChunkChars = 4096;
    static constexpr size_t kSplitWindow = 256;

    // collapse: runs of white space become one space and chunks are trimmed
    // (HTML); otherwise the text is kept as it stands (plain text).
    explicit CChunkBuilder(bool collapse = true) : m_collapse(collapse) {}

    void Text(wchar_t c);
    void Text(const wchar_t* text, size_t length);
    // White space that separates words, from an element such as <br> or <td>.
    void WordBreak();
    // Ends the current text chunk; the next chunk starts with at least this break.
    void Break(CHUNK_BREAKTYPE type);
    // A string value chunk, after any text before it.
    void Value(const GUID& propSet, PROPID propId, const std::wstring& name, const std::wstring& value);
    // The end of the page: hands out the text still held.
    void Finish();

    bool HasChunk() const { return !m_ready.empty(); }
    PageChunk Take();

private:
    void Flush();
    void Emit(std::wstring text);
    void SplitIfFull();
    void Raise(CHUNK_BREAKTYPE type);

    bool m_collapse;
    std::wstring m_text;
    bool m_space = false;
    CHUNK_BREAKTYPE m_nextBreak = CHUNK_EOC;
    std::deque<PageChunk> m_ready;
};
