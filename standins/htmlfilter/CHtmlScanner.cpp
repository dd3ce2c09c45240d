#include "CHtmlScanner.h"

#include <cwchar>

#include "HtmlEntities.h"
#include "ReferenceFilterIds.h"

namespace {
bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsHexDigit(wchar_t c)
{
    return IsAsciiDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsOneOf(const std::wstring& name, const wchar_t* const* list)
{
    for (; *list; ++list) {
        if (name == *list)
            return true;
    }
    return false;
}

// Elements whose content a reader never sees.
const wchar_t* const kHiddenText[] = {L"script", L"style", L"xml", L"template", nullptr};
// Elements that start and end a paragraph of their own.
const wchar_t* const kBlocks[] = {
    L"address", L"article", L"aside", L"blockquote", L"body", L"caption", L"center", L"dd", L"dir", L"div",
    L"dl", L"dt", L"fieldset", L"figcaption", L"figure", L"footer", L"form", L"frame", L"frameset", L"h1",
    L"h2", L"h3", L"h4", L"h5", L"h6", L"head", L"header", L"hr", L"html", L"iframe", L"legend", L"li",
    L"main", L"menu", L"nav", L"noframes", L"ol", L"p", L"pre", L"section", L"table", L"tbody", L"tfoot",
    L"thead", L"title", L"tr", L"ul", nullptr};
// Elements that separate words without ending a paragraph.
const wchar_t* const kWordBreaks[] = {L"br", L"td", L"th", L"img", L"option", L"input", L"select",
                                      L"button", L"textarea", nullptr};
}

// Trims a meta name or content and collapses its white space.
std::wstring CHtmlScanner::Collapse(const std::wstring& text)
{
    std::wstring out;
    bool space = false;
    for (wchar_t c : text) {
        if (c == L'\0')
            continue;
        if (IsSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space)
            out += L' ';
        space = false;
        out += c;
    }
    return out;
}

void CHtmlScanner::Feed(const wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        while (Step(text[i])) {
        }
    }
}

void CHtmlScanner::Finish()
{
    if (m_state == State::CharRef) {
        // A reference cut off by the end is resolved like one followed by a
        // character that cannot belong to it.
        while (Step(L'\0')) {
        }
    }
    if (m_state == State::TagOpen)
        m_builder.Text(L'<');
    if (m_state == State::RawText && m_rawKeepsText) {
        for (wchar_t c : m_rawHeld)
            m_builder.Text(c);
    }
    m_state = State::Data;
}

bool CHtmlScanner::Step(wchar_t c)
{
    switch (m_state) {
    case State::Data:
        if (c == L'<')
            m_state = State::TagOpen;
        else if (c == L'&')
            BeginCharRef(State::Data, Sink::Text);
        else
            m_builder.Text(c);
        return false;

    case State::TagOpen:
        if (IsAsciiLetter(c)) {
            StartTag(c, false);
        } else if (c == L'/') {
            m_state = State::EndTagOpen;
        } else if (c == L'!') {
            m_state = State::MarkupOpen;
        } else if (c == L'?') {
            m_state = State::Bogus;
        } else {
            // A "<" that opens no tag is text ("a < b").
            m_builder.Text(L'<');
            m_state = State::Data;
            return true;
        }
        return false;

    case State::EndTagOpen:
        if (IsAsciiLetter(c))
            StartTag(c, true);
        else
            m_state = c == L'>' ? State::Data : State::Bogus;
        return false;

    case State::TagName:
        if (IsSpace(c) || c == L'/') {
            m_state = State::BeforeAttrName;
        } else if (c == L'>') {
            EmitTag();
        } else if (m_tagName.size() < kMaxName) {
            m_tagName += AsciiLower(c);
        } else {
            m_nameTooLong = true;
        }
        return false;

    case State::BeforeAttrName:
        if (c == L'>')
            EmitTag();
        else if (!IsSpace(c) && c != L'/')
            StartAttribute(c);
        return false;

    case State::AttrName:
        if (IsSpace(c)) {
            m_state = State::AfterAttrName;
        } else if (c == L'/') {
            EndAttribute();
            m_state = State::BeforeAttrName;
        } else if (c == L'=') {
            m_state = State::BeforeAttrValue;
        } else if (c == L'>') {
            EndAttribute();
            EmitTag();
        } else if (m_inAttribute && m_attrName.size() < kMaxName) {
            m_attrName += AsciiLower(c);
        }
        return false;

    case State::AfterAttrName:
        if (c == L'=') {
            m_state = State::BeforeAttrValue;
        } else if (c == L'>') {
            EndAttribute();
            EmitTag();
        } else if (c == L'/') {
            EndAttribute();
            m_state = State::BeforeAttrName;
        } else if (!IsSpace(c)) {
            EndAttribute();
            StartAttribute(c);
        }
        return false;

    case State::BeforeAttrValue:
        if (c == L'"') {
            m_state = State::AttrValueDouble;
        } else if (c == L'\'') {
            m_state = State::AttrValueSingle;
        } else if (c == L'>') {
            EndAttribute();
            EmitTag();
        } else if (!IsSpace(c)) {
            m_state = State::AttrValueUnquoted;
            return true;
        }
        return false;

    case State::AttrValueDouble:
    case State::AttrValueSingle:
        if (c == (m_state == State::AttrValueDouble ? L'"' : L'\'')) {
            EndAttribute();
            m_state = State::BeforeAttrName;
        } else if (c == L'&') {
            BeginCharRef(m_state, Sink::Attribute);
        } else {
            Put(c, Sink::Attribute);
        }
        return false;

    case State::AttrValueUnquoted:
        if (IsSpace(c)) {
            EndAttribute();
            m_state = State::BeforeAttrName;
        } else if (c == L'>') {
            EndAttribute();
            EmitTag();
        } else if (c == L'&') {
            BeginCharRef(m_state, Sink::Attribute);
        } else {
            Put(c, Sink::Attribute);
        }
        return false;

    case State::MarkupOpen:
        if (c == L'-') {
            m_state = State::MarkupDash;
            return false;
        }
        m_state = State::Bogus;  // <!DOCTYPE ...>, <![CDATA[ ... ]]>
        return true;

    case State::MarkupDash:
        if (c == L'-') {
            m_state = State::Comment;
            m_dashes = 0;
            m_commentLength = 0;
            return false;
        }
        m_state = State::Bogus;
        return true;

    case State::Comment:
        // "-->" ends a comment; so do "<!-->" and "<!--->", as in browsers.
        if (c == L'>' && (m_dashes >= 2 || m_commentLength == m_dashes)) {
            m_state = State::Data;
            return false;
        }
        m_dashes = c == L'-' ? m_dashes + 1 : 0;
        if (m_commentLength < 2)
            ++m_commentLength;
        return false;

    case State::Bogus:
    case State::EndTagTail:
        if (c == L'>')
            m_state = State::Data;
        return false;

    case State::RawText:
        return StepRawText(c);

    case State::CharRef:
        return StepCharRef(c);
    }
    return false;
}

bool CHtmlScanner::StepRawText(wchar_t c)
{
    if (m_rawMatched == m_rawEnd.size()) {
        if (IsSpace(c) || c == L'/' || c == L'>') {
            LeaveRawText();
            m_state = c == L'>' ? State::Data : State::EndTagTail;
            return false;
        }
        // "</titles" does not close "title".
    } else if (AsciiLower(c) == m_rawEnd[m_rawMatched]) {
        m_rawHeld += c;
        ++m_rawMatched;
        return false;
    }
    if (m_rawMatched > 0) {
        if (m_rawKeepsText) {
            for (wchar_t held : m_rawHeld)
                m_builder.Text(held);
        }
        m_rawHeld.clear();
        m_rawMatched = 0;
        return true;
    }
    if (m_rawKeepsText) {
        if (c == L'&')
            BeginCharRef(State::RawText, Sink::Text);
        else
            m_builder.Text(c);
    }
    return false;
}

bool CHtmlScanner::StepCharRef(wchar_t c)
{
    if (m_ref.empty()) {
        if (c == L'#' || IsAsciiLetter(c) || IsAsciiDigit(c)) {
            m_ref += c;
            return false;
        }
        Put(L'&', m_refSink);
        m_state = m_refReturn;
        return true;
    }

    const bool numeric = m_ref[0] == L'#';
    const bool hex = numeric && m_ref.size() >= 2 && (m_ref[1] == L'x' || m_ref[1] == L'X');
    bool fits;
    if (numeric && m_ref.size() == 1 && (c == L'x' || c == L'X'))
        fits = true;
    else if (numeric)
        fits = hex ? IsHexDigit(c) : IsAsciiDigit(c);
    else
        fits = IsAsciiLetter(c) || IsAsciiDigit(c);
    if (fits && m_ref.size() < kMaxRef) {
        m_ref += c;
        return false;
    }

    const bool semicolon = c == L';';
    unsigned code = 0;
    if (numeric) {
        const size_t first = hex ? 2 : 1;
        if (m_ref.size() > first) {
            unsigned long long value = 0;
            for (size_t i = first; i < m_ref.size(); ++i) {
                const wchar_t d = m_ref[i];
                const unsigned digit = IsAsciiDigit(d) ? d - L'0' : AsciiLower(d) - L'a' + 10;
                value = value * (hex ? 16 : 10) + digit;
                if (value > 0x10FFFF)
                    value = 0x110000;  // stays invalid however many digits follow
            }
            code = NumericReferenceCode(value);
        }
    } else if (semicolon || !(m_refSink == Sink::Attribute && c == L'=')) {
        // In an attribute, "&name=" is part of a URL, not a reference.
        code = LookupNamedEntity(m_ref.c_str());
    }

    m_state = m_refReturn;
    if (code == 0) {
        Put(L'&', m_refSink);
        for (wchar_t held : m_ref)
            Put(held, m_refSink);
        m_ref.clear();
        return true;
    }
    m_ref.clear();
    EmitChar(code, m_refSink);
    return !semicolon;
}

void CHtmlScanner::BeginCharRef(State returnTo, Sink sink)
{
    m_ref.clear();
    m_refReturn = returnTo;
    m_refSink = sink;
    m_state = State::CharRef;
}

void CHtmlScanner::EmitChar(unsigned code, Sink sink)
{
    if (code > 0xFFFF) {
        code -= 0x10000;
        Put(static_cast<wchar_t>(0xD800 + (code >> 10)), sink);
        Put(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)), sink);
        return;
    }
    Put(static_cast<wchar_t>(code), sink);
}

void CHtmlScanner::Put(wchar_t c, Sink sink)
{
    if (sink == Sink::Text)
        m_builder.Text(c);
    else if (m_inAttribute && m_attrValue.size() < kMaxAttributeValue)
        m_attrValue += c;
}

void CHtmlScanner::StartTag(wchar_t first, bool end)
{
    m_tagName.assign(1, AsciiLower(first));
    m_endTag = end;
    m_nameTooLong = false;
    m_inAttribute = false;
    m_haveMetaName = false;
    m_haveMetaContent = false;
    m_metaName.clear();
    m_metaContent.clear();
    m_state = State::TagName;
}

void CHtmlScanner::StartAttribute(wchar_t first)
{
    m_inAttribute = !m_endTag && !m_nameTooLong && m_tagName == L"meta";
    m_attrName.assign(1, AsciiLower(first));
    m_attrValue.clear();
    m_state = State::AttrName;
}

void CHtmlScanner::EndAttribute()
{
    if (!m_inAttribute)
        return;
    m_inAttribute = false;
    // As in browsers, the first of two attributes of one name counts.
    if (m_attrName == L"name" && !m_haveMetaName) {
        m_metaName = m_attrValue;
        m_haveMetaName = true;
    } else if (m_attrName == L"content" && !m_haveMetaContent) {
        m_metaContent = m_attrValue;
        m_haveMetaContent = true;
    }
}

void CHtmlScanner::EmitTag()
{
    m_state = State::Data;
    if (m_nameTooLong)
        return;
    if (!m_endTag) {
        if (IsOneOf(m_tagName, kHiddenText)) {
            EnterRawText(m_tagName.c_str(), false);
            return;
        }
        if (m_tagName == L"title" || m_tagName == L"textarea") {
            m_builder.Break(CHUNK_EOP);
            EnterRawText(m_tagName.c_str(), true);
            return;
        }
        if (m_tagName == L"meta")
            HandleMeta();
    }
    if (IsOneOf(m_tagName, kBlocks))
        m_builder.Break(CHUNK_EOP);
    else if (IsOneOf(m_tagName, kWordBreaks))
        m_builder.WordBreak();
}

void CHtmlScanner::EnterRawText(const wchar_t* name, bool keepText)
{
    m_rawEnd = std::wstring(L"</") + name;
    m_rawMatched = 0;
    m_rawHeld.clear();
    m_rawKeepsText = keepText;
    m_state = State::RawText;
}

void CHtmlScanner::LeaveRawText()
{
    if (m_rawKeepsText)
        m_builder.Break(CHUNK_EOP);
    m_rawHeld.clear();
    m_rawMatched = 0;
}

void CHtmlScanner::HandleMeta()
{
    if (!m_haveMetaName || !m_haveMetaContent)
        return;
    std::wstring name = Collapse(m_metaName);
    if (name.empty())
        return;
    for (auto& c : name)
        c = AsciiLower(c);
    const std::wstring value = Collapse(m_metaContent);
    // Author, subject and keywords are the document's summary properties; any
    // other name is a property of its own in the HTML meta set.
    if (name == L"author")
        m_builder.Value(kSummaryPropSet, kAuthorPropId, L"", value);
    else if (name == L"subject")
        m_builder.Value(kSummaryPropSet, kSubjectPropId, L"", value);
    else if (name == L"keywords")
        m_builder.Value(kSummaryPropSet, kKeywordsPropId, L"", value);
    else
        m_builder.Value(kHtmlMetaPropSet, 0, name, value);
}
