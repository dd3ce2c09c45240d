#pragma once
#include <windows.h>

#include <string>

#include "CChunkBuilder.h"

// Reads a page's characters as a browser would, one at a time, and tells the
// chunk builder what a reader sees: text outside tags, with character
// references decoded; breaks from block elements; meta names and contents.
// Script, style and comments give nothing. Every buffer it keeps is bounded,
// so a page of any size and shape is read in bounded memory.
class CHtmlScanner {
public:
    explicit CHtmlScanner(CChunkBuilder& builder) : m_builder(builder) {}

    void Feed(const wchar_t* text, size_t length);
    // The end of the page: what is pending (a started reference, a lone "<")
    // is read as text; an unclosed tag, comment or script gives nothing.
    void Finish();

    // Trims text and collapses its runs of white space to one space, as a
    // browser shows a meta name or content.
    static std::wstring Collapse(const std::wstring& text);

private:
    enum class State {
        Data, TagOpen, EndTagOpen, TagName, BeforeAttrName, AttrName, AfterAttrName, BeforeAttrValue,
        AttrValueDouble, AttrValueSingle, AttrValueUnquoted, MarkupOpen, MarkupDash, Comment, Bogus,
        RawText, EndTagTail, CharRef
    };
    enum class Sink { Text, Attribute };

    // Handles one character; true when the same character must be read again
    // in the new state.
    bool Step(wchar_t c);
    bool StepRawText(wchar_t c);
    bool StepCharRef(wchar_t c);

    void StartTag(wchar_t first, bool end);
    void StartAttribute(wchar_t first);
    void EndAttribute();
    void EmitTag();
    void EnterRawText(const wchar_t* name, bool keepText);
    void LeaveRawText();
    void HandleMeta();

    void BeginCharRef(State returnTo, Sink sink);
    void EmitRefText(const std::wstring& text);
    void EmitChar(unsigned code, Sink sink);
    void Put(wchar_t c, Sink sink);

    CChunkBuilder& m_builder;
    State m_state = State::Data;

    // The tag being read. Names are kept lower-case and short: no element that
    // matters here has a longer name.
    static constexpr size_t kMaxName = 16;
    std::wstring m_tagName;
    bool m_endTag = false;
    bool m_nameTooLong = false;

    // Attributes are kept for meta tags only, bounded.
    static constexpr size_t kMaxAttributeValue = 8192;
    std::wstring m_attrName;
    std::wstring m_attrValue;
    bool m_inAttribute = false;
    bool m_haveMetaName = false;
    bool m_haveMetaContent = false;
    std::wstring m_metaName;
    std::wstring m_metaContent;

    // Comments: dashes just seen, characters read.
    unsigned m_dashes = 0;
    size_t m_commentLength = 0;

    // Raw text (script, style) and escapable raw text (title, textarea): the
    // closing tag being matched.
    std::wstring m_rawEnd;   // "</script"
    size_t m_rawMatched = 0;
    std::wstring m_rawHeld;  // the characters matched so far, as written
    bool m_rawKeepsText = false;

    // A character reference being read, and where its result goes.
    static constexpr size_t kMaxRef = 32;
    std::wstring m_ref;
    State m_refReturn = State::Data;
    Sink m_refSink = Sink::Text;
};
