#include "support/LzxEncoder.h"

#include <cstring>

namespace {
// The pretree: symbols 0 to 11 take 4 bits, 12 to 19 take 5 (a complete code).
void PretreeCode(int symbol, DWORD& code, int& bits)
{
    if (symbol < 12) {
        code = static_cast<DWORD>(symbol);
        bits = 4;
    } else {
        code = static_cast<DWORD>(24 + symbol - 12);
        bits = 5;
    }
}
}  // namespace

LzxEncoder::LzxEncoder(DWORD windowSize)
{
    static const BYTE kExtra[51] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,
                                    7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15,
                                    16, 16, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17};
    int slots = 0;
    for (DWORD reach = 0; reach < windowSize && slots < 51; ++slots)
        reach += 1u << kExtra[slots];
    m_mainElements = 256 + slots * 8;
}

void LzxEncoder::Reset()
{
    memset(m_main, 0, sizeof(m_main));
    memset(m_length, 0, sizeof(m_length));
}

void LzxEncoder::Bits(DWORD value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        m_word = static_cast<WORD>(m_word << 1 | (value >> i & 1));
        if (++m_used == 16) {
            m_out += static_cast<char>(m_word & 0xFF);
            m_out += static_cast<char>(m_word >> 8);
            m_word = 0;
            m_used = 0;
        }
    }
}

void LzxEncoder::TranslationHeader(DWORD fileSize)
{
    Bits(fileSize != 0, 1);
    if (fileSize != 0) {
        Bits(fileSize >> 16, 16);
        Bits(fileSize & 0xFFFF, 16);
    }
}

void LzxEncoder::Uncompressed(DWORD length, const std::string& first)
{
    Bits(3, 3);
    Bits(length >> 8, 16);
    Bits(length & 0xFF, 8);
    // To the end of the word, or a whole word when the bits end on one.
    Bits(0, m_used == 0 ? 16 : 16 - m_used);
    for (int r = 0; r < 3; ++r)
        Raw(std::string("\x01\x00\x00\x00", 4));
    Raw(first);
}

void LzxEncoder::Raw(const std::string& bytes)
{
    m_out += bytes;
}

void LzxEncoder::Lengths(BYTE* previous, const BYTE* wanted, int first, int last)
{
    for (int symbol = 0; symbol < 20; ++symbol)
        Bits(symbol < 12 ? 4 : 5, 4);
    for (int x = first; x < last; ++x) {
        // The decoder takes (previous - z) mod 17 as the new length.
        const int z = (previous[x] - wanted[x] + 17) % 17;
        DWORD code = 0;
        int bits = 0;
        PretreeCode(z, code, bits);
        Bits(code, bits);
        previous[x] = wanted[x];
    }
}

void LzxEncoder::Compressed(DWORD length, bool aligned, const int (&matchElements)[4])
{
    Bits(aligned ? 2 : 1, 3);
    Bits(length >> 8, 16);
    Bits(length & 0xFF, 8);
    if (aligned) {
        for (int i = 0; i < 8; ++i)
            Bits(3, 3);
    }
    BYTE main[656] = {};
    for (int i = 0; i < 256; ++i)
        main[i] = 9;
    for (int i = 0; i < 4; ++i) {
        m_matchElements[i] = matchElements[i];
        main[matchElements[i]] = 3;
    }
    BYTE lengths[250] = {};
    lengths[0] = 1;
    lengths[248] = 1;
    Lengths(m_main, main, 0, 256);
    Lengths(m_main, main, 256, m_mainElements);
    Lengths(m_length, lengths, 0, 249);
}

void LzxEncoder::Literals(const std::string& bytes)
{
    // Canonical codes: the four 3-bit symbols first (000 to 011), then the
    // literals from 100000000 on.
    for (unsigned char c : bytes)
        Bits(256 + c, 9);
}

void LzxEncoder::Match(int which, DWORD extra, int extraBits, int alignedSymbol)
{
    // The match symbols' 3-bit codes go in the order of their element numbers.
    int rank = 0;
    for (int i = 0; i < 4; ++i)
        rank += m_matchElements[i] < m_matchElements[which];
    Bits(static_cast<DWORD>(rank), 3);
    if ((m_matchElements[which] & 7) == 7)
        Bits(1, 1);  // the footer 248
    if (extraBits > 0)
        Bits(extra, extraBits);
    if (alignedSymbol >= 0)
        Bits(static_cast<DWORD>(alignedSymbol), 3);
}

std::string LzxEncoder::EndFrame()
{
    if (m_used != 0)
        Bits(0, 16 - m_used);
    std::string frame;
    frame.swap(m_out);
    return frame;
}
