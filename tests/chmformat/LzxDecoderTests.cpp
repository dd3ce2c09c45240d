// The follower of the storage component's LZX decoder, over frames written
// here bit by bit: each row is one way a frame can take that decoder out of
// its window or its input, next to the sound frame it was made from.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "chmformat/CLzxDecoder.h"

namespace {
// Bits as the decoder reads them: 16-bit little-endian words, most significant
// bit first.
class BitWriter {
public:
    void Bits(DWORD value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_word = static_cast<WORD>(m_word << 1 | (value >> i & 1));
            if (++m_used == 16)
                Flush();
        }
    }
    // The padding before an uncompressed block's bytes: to the end of the
    // word, or a whole word when the bits end on a word's end.
    void Align()
    {
        Bits(0, m_used == 0 ? 16 : 16 - m_used);
    }
    void Bytes(const std::string& bytes) { m_out += bytes; }
    void Dword(DWORD value)
    {
        for (int i = 0; i < 4; ++i)
            m_out += static_cast<char>(value >> (8 * i) & 0xFF);
    }
    std::string Done()
    {
        if (m_used != 0)
            Bits(0, 16 - m_used);
        return m_out;
    }

private:
    void Flush()
    {
        m_out += static_cast<char>(m_word & 0xFF);
        m_out += static_cast<char>(m_word >> 8);
        m_word = 0;
        m_used = 0;
    }

    std::string m_out;
    WORD m_word = 0;
    int m_used = 0;
};

constexpr DWORD kWindow = 0x8000;  // 32 KB: 30 position slots, 496 main elements
constexpr DWORD kFrame = CLzxDecoder::kFrameSize;

void BlockHeader(BitWriter& w, DWORD type, DWORD length)
{
    w.Bits(type, 3);
    w.Bits(length >> 8, 16);
    w.Bits(length & 0xFF, 8);
}

void Uncompressed(BitWriter& w, DWORD r0, const std::string& bytes, DWORD declared)
{
    BlockHeader(w, 3, declared);
    w.Align();
    w.Dword(r0);
    w.Dword(1);
    w.Dword(1);
    w.Bytes(bytes);
}

// Code lengths through the pretree, whose four symbols 0, 16, 17 and 18 take
// two bits each (codes 00, 01, 10, 11): 0 keeps a length of 0, 16 turns it into
// 1, 17 and 18 are runs of zeros.
class Lengths {
public:
    explicit Lengths(BitWriter& w) : m_w(w)
    {
        for (int symbol = 0; symbol < 20; ++symbol)
            m_w.Bits(symbol == 0 || (symbol >= 16 && symbol <= 18) ? 2 : 0, 4);
    }
    Lengths& Zeros(int n)
    {
        while (n >= 20) {
            const int run = n < 51 ? n : 51;
            m_w.Bits(3, 2);
            m_w.Bits(static_cast<DWORD>(run - 20), 5);
            n -= run;
        }
        while (n >= 4) {
            const int run = n < 19 ? n : 19;
            m_w.Bits(2, 2);
            m_w.Bits(static_cast<DWORD>(run - 4), 4);
            n -= run;
        }
        for (; n > 0; --n)
            m_w.Bits(0, 2);
        return *this;
    }
    Lengths& One()
    {
        m_w.Bits(1, 2);
        return *this;
    }

private:
    BitWriter& m_w;
};

// A verbatim block whose main code has two symbols of one bit: the literal
// 'A' (code 0) and a match of two bytes at the last offset (code 1).
void VerbatimHeader(BitWriter& w, DWORD length)
{
    BlockHeader(w, 1, length);
    Lengths(w).Zeros(65).One().Zeros(190);
    Lengths(w).One().Zeros(239);
    Lengths(w).Zeros(249);
}

// Every code length zero: the main code is empty, and the decoder makes each
// byte a literal that takes no bits. With complete, the pretree holds symbol 0
// and three others (two bits each); without, symbol 0 alone (one bit, half a code).
void EmptyCodes(BitWriter& w, bool complete)
{
    BlockHeader(w, 1, kFrame);
    for (int lengths : {256, 240, 249}) {
        for (int symbol = 0; symbol < 20; ++symbol)
            w.Bits(symbol == 0 ? (complete ? 2 : 1) : (complete && symbol >= 16 && symbol <= 18 ? 2 : 0), 4);
        for (int i = 0; i < lengths; ++i)
            w.Bits(0, complete ? 2 : 1);
    }
}

void Literals(BitWriter& w, int count)
{
    for (int i = 0; i < count; ++i)
        w.Bits(0, 1);
}

void Match(BitWriter& w) { w.Bits(1, 1); }

std::string Frame(void (*write)(BitWriter&))
{
    BitWriter w;
    w.Bits(0, 1);  // no E8 translation
    write(w);
    return w.Done();
}

TEST(LzxFrameCheck, FollowsTheComponentsDecoderAndStopsWhereItWouldLeaveItsMemory)
{
    struct Row {
        const char* label;
        void (*write)(BitWriter&);
        bool passes;
    };
    const Row rows[] = {
        {"an uncompressed frame",
         [](BitWriter& w) { Uncompressed(w, 1, std::string(kFrame, 'x'), kFrame); }, true},
        {"a block of type 0", [](BitWriter& w) { BlockHeader(w, 0, kFrame); }, false},
        {"a block of type 5", [](BitWriter& w) { BlockHeader(w, 5, kFrame); }, false},
        {"an uncompressed block longer than the frame's bytes",
         [](BitWriter& w) { Uncompressed(w, 1, std::string(1000, 'x'), kFrame); }, false},
        {"literals and a last match that ends at the window's end",
         [](BitWriter& w) {
             VerbatimHeader(w, kFrame);
             Literals(w, kFrame - 2);
             Match(w);
         },
         true},
        {"a last match running past the window's end",
         [](BitWriter& w) {
             VerbatimHeader(w, kFrame);
             Literals(w, kFrame - 1);
             Match(w);
         },
         false},
        {"a match at a repeated offset inside the window",
         [](BitWriter& w) {
             Uncompressed(w, 2, "ab", 2);
             VerbatimHeader(w, kFrame - 2);
             Match(w);
             Literals(w, kFrame - 4);
         },
         true},
        {"a match at a repeated offset beyond the window",
         [](BitWriter& w) {
             Uncompressed(w, kWindow + 1, "ab", 2);
             VerbatimHeader(w, kFrame - 2);
             Match(w);
             Literals(w, kFrame - 4);
         },
         false},
        {"a block whose symbols end before its length",
         [](BitWriter& w) {
             VerbatimHeader(w, kFrame);
             Literals(w, kFrame / 2);
         },
         false},
        // The component would take the first symbol for every position without
        // reading a bit: a frame of a few bytes would cost it a whole frame's work.
        {"code lengths all zero", [](BitWriter& w) { EmptyCodes(w, true); }, false},
        {"an incomplete pretree", [](BitWriter& w) { EmptyCodes(w, false); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string frame = Frame(row.write);
        CLzxDecoder check(kWindow);
        EXPECT_EQ(row.passes,
                  check.Frame(reinterpret_cast<const BYTE*>(frame.data()), static_cast<DWORD>(frame.size())));
    }
}

// The window position carries over from frame to frame until a reset: a
// second frame that goes on where the first ended passes, and the same frame
// with its first block header missing does not.
TEST(LzxFrameCheck, KeepsItsStateAcrossFramesUntilAReset)
{
    BitWriter first;
    first.Bits(0, 1);
    Uncompressed(first, 1, std::string(kFrame, 'x'), 2 * kFrame);
    const std::string one = first.Done();
    const std::string two(kFrame, 'y');  // the rest of the same uncompressed block

    CLzxDecoder check(2 * kWindow);
    EXPECT_TRUE(check.Frame(reinterpret_cast<const BYTE*>(one.data()), static_cast<DWORD>(one.size())));
    EXPECT_TRUE(check.Frame(reinterpret_cast<const BYTE*>(two.data()), static_cast<DWORD>(two.size())));
    check.Reset();
    EXPECT_FALSE(check.Frame(reinterpret_cast<const BYTE*>(two.data()), static_cast<DWORD>(two.size())));
}
}  // namespace
