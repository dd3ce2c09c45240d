#pragma once
#include <windows.h>

#include <string>

// Writes LZX frames for tests, block by block, as the storage component's
// decoder reads them: uncompressed blocks, and verbatim or aligned-offset
// blocks over one fixed code (every byte a literal of 9 bits, four chosen
// match elements of 3 bits, a length code whose one-bit symbol 1 makes a match
// of length header 7 take 257 bytes, and for aligned blocks eight aligned
// symbols of 3 bits). Each frame must decode to 32 KB: the
// caller writes exactly that much between EndFrame calls.
class LzxEncoder {
public:
    explicit LzxEncoder(DWORD windowSize);

    // The decoder's state at a reset point: code lengths back to zero.
    void Reset();
    // The first bits after a reset: E8 translation for a stream of this
    // size, or none for 0.
    void TranslationHeader(DWORD fileSize);
    // An uncompressed block of length bytes, whose first bytes follow here;
    // the rest go through Raw, a zero byte after the last when length is odd.
    void Uncompressed(DWORD length, const std::string& first);
    void Raw(const std::string& bytes);
    // A verbatim (or aligned-offset) block of length bytes, whose match
    // elements are these four (256 + slot * 8 + length header, below 7).
    void Compressed(DWORD length, bool aligned, const int (&matchElements)[4]);
    void Literals(const std::string& bytes);
    // Match element number which (0..3); extra: its offset's verbatim bits;
    // alignedSymbol: in an aligned block, the symbol of its low three bits.
    // An element of length header 7 takes 257 bytes.
    void Match(int which, DWORD extra = 0, int extraBits = 0, int alignedSymbol = -1);
    // The frame's bytes, the bits padded to a word; the next frame starts.
    std::string EndFrame();

private:
    void Bits(DWORD value, int count);
    void Lengths(BYTE* previous, const BYTE* wanted, int first, int last);

    int m_mainElements;
    BYTE m_main[656] = {};
    BYTE m_length[250] = {};
    int m_matchElements[4] = {};
    std::string m_out;
    WORD m_word = 0;
    int m_used = 0;
};
