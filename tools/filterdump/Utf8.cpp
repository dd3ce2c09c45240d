#include "Utf8.h"

std::string ToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned code = static_cast<unsigned short>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
            static_cast<unsigned short>(text[i + 1]) >= 0xDC00 && static_cast<unsigned short>(text[i + 1]) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned short>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string ToUtf8(const wchar_t* text)
{
    return ToUtf8(std::wstring(text ? text : L""));
}
