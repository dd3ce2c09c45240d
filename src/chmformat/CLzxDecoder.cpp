#include "chmformat/CLzxDecoder.h"

#include <cstring>
#include <new>

namespace {
constexpr int kVerbatim = 1;
constexpr int kAligned = 2;
constexpr int kUncompressed = 3;
constexpr int kMinMatch = 2;

const BYTE kExtraBits[51] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,
                             7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15,
                             16, 16, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17};

DWORD PositionBase(int slot)
{
    DWORD base = 0;
    for (int i = 0; i < slot; ++i)
        base += 1u << kExtraBits[i];
    return base;
}

struct PositionBases {
    DWORD value[51];
    PositionBases()
    {
        for (int i = 0; i < 51; ++i)
            value[i] = PositionBase(i);
    }
};
const PositionBases kPositionBase;
}

// Wine's bit reader (lzx.c): 16-bit little-endian words, read most
// significant bit first into a 32-bit buffer, ahead of need. Past the input it
// would read whatever lies in memory there; here those words read as zero, and
// a frame that uses any of their bits fails.
class CLzxDecoder::Bits {
public:
    Bits(const BYTE* data, DWORD length) : m_data(data), m_length(length) {}

    void Init()
    {
        m_buffer = 0;
        m_left = 0;
    }
    void Ensure(int bits)
    {
        while (m_left < bits) {
            const DWORD word = static_cast<DWORD>(Byte(m_pos + 1)) << 8 | Byte(m_pos);
            m_buffer |= word << (16 - m_left);
            m_left += 16;
            m_pos += 2;
        }
    }
    DWORD Peek(int bits) const { return bits == 0 ? 0 : m_buffer >> (32 - bits); }
    void Remove(int bits)
    {
        m_buffer = bits >= 32 ? 0 : m_buffer << bits;
        m_left -= bits;
    }
    bool Read(int bits, DWORD& value)
    {
        Ensure(bits);
        value = Peek(bits);
        Remove(bits);
        return Within();
    }
    // Whether every bit used so far came from the input.
    bool Within() const
    {
        return static_cast<LONGLONG>(m_pos) * 8 - m_left <= static_cast<LONGLONG>(m_length) * 8;
    }
    // Raw bytes, as uncompressed blocks are read.
    bool Skip(DWORD bytes)
    {
        if (m_pos > m_length || bytes > m_length - m_pos)
            return false;
        m_pos += bytes;
        return true;
    }
    const BYTE* Data() const { return m_data; }
    DWORD Dword() const
    {
        return static_cast<DWORD>(Byte(m_pos)) | static_cast<DWORD>(Byte(m_pos + 1)) << 8 |
               static_cast<DWORD>(Byte(m_pos + 2)) << 16 | static_cast<DWORD>(Byte(m_pos + 3)) << 24;
    }

    DWORD m_pos = 0;
    int m_left = 0;

private:
    BYTE Byte(DWORD at) const { return at < m_length ? m_data[at] : 0; }

    const BYTE* m_data;
    DWORD m_length;
    DWORD m_buffer = 0;
};

CLzxDecoder::CLzxDecoder(DWORD windowSize)
    : m_windowSize(windowSize), m_window(new (std::nothrow) BYTE[windowSize]())
{
    // Position slots until their bases reach the window, as the component counts them.
    int slots = 0;
    for (DWORD reach = 0; reach < windowSize && slots < 51; ++slots)
        reach += 1u << kExtraBits[slots];
    m_mainElements = 256 + slots * 8;
    Reset();
}

CLzxDecoder::~CLzxDecoder() = default;

void CLzxDecoder::Reset()
{
    m_r0 = m_r1 = m_r2 = 1;
    m_headerRead = false;
    m_blockRemaining = 0;
    m_blockType = 0;
    m_windowPos = 0;
    m_intelPos = 0;
    m_intelStarted = false;
    m_framesSinceReset = 0;
    memset(m_mainLengths, 0, sizeof(m_mainLengths));
    memset(m_lengthLengths, 0, sizeof(m_lengthLengths));
}

bool CLzxDecoder::Build(Code& code, const BYTE* lengths, int symbols)
{
    code.symbols = symbols;
    memset(code.count, 0, sizeof(code.count));
    int used = 0;
    for (int s = 0; s < symbols; ++s) {
        if (lengths[s] > 16)
            return false;
        ++code.count[lengths[s]];
        used += lengths[s] != 0;
    }
    code.count[0] = 0;
    code.empty = used == 0;
    if (code.empty)
        return true;
    // The component takes complete codes only (and the empty one).
    LONG left = 1;
    for (int length = 1; length <= 16; ++length) {
        left = left * 2 - code.count[length];
        if (left < 0)
            return false;
    }
    if (left != 0)
        return false;
    WORD offsets[17] = {};
    for (int length = 1; length < 16; ++length)
        offsets[length + 1] = static_cast<WORD>(offsets[length] + code.count[length]);
    for (int s = 0; s < symbols; ++s) {
        if (lengths[s] != 0)
            code.sorted[offsets[lengths[s]]++] = static_cast<WORD>(s);
    }
    return true;
}

bool CLzxDecoder::Decode(Bits& bits, const Code& code, const BYTE* lengths, int& symbol)
{
    bits.Ensure(16);
    if (code.empty) {
        // The component's empty table yields the first symbol and reads nothing.
        symbol = 0;
        bits.Remove(lengths[0]);
        return bits.Within();
    }
    const DWORD peeked = bits.Peek(16);
    LONG value = 0;
    LONG first = 0;
    LONG index = 0;
    for (int length = 1; length <= 16; ++length) {
        value |= static_cast<LONG>(peeked >> (16 - length) & 1);
        const LONG count = code.count[length];
        if (value - count < first) {
            symbol = code.sorted[index + (value - first)];
            bits.Remove(length);
            return bits.Within();
        }
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return false;
}

bool CLzxDecoder::ReadLengths(Bits& bits, BYTE* lengths, int first, int last)
{
    for (int x = 0; x < kPretreeSymbols; ++x) {
        DWORD value = 0;
        if (!bits.Read(4, value))
            return false;
        m_pretreeLengths[x] = static_cast<BYTE>(value);
    }
    if (!Build(m_pretree, m_pretreeLengths, kPretreeSymbols))
        return false;
    // Runs may write up to 50 lengths past the last: the arrays leave room.
    for (int x = first; x < last;) {
        int z = 0;
        if (!Decode(bits, m_pretree, m_pretreeLengths, z))
            return false;
        DWORD run = 0;
        if (z == 17 || z == 18) {
            if (!bits.Read(z == 17 ? 4 : 5, run))
                return false;
            run += z == 17 ? 4 : 20;
            while (run--)
                lengths[x++] = 0;
        } else if (z == 19) {
            if (!bits.Read(1, run) || !Decode(bits, m_pretree, m_pretreeLengths, z))
                return false;
            run += 4;
            z = lengths[x] - z;
            if (z < 0)
                z += 17;
            while (run--)
                lengths[x++] = static_cast<BYTE>(z);
        } else {
            z = lengths[x] - z;
            if (z < 0)
                z += 17;
            lengths[x++] = static_cast<BYTE>(z);
        }
    }
    return true;
}

bool CLzxDecoder::BlockHeader(Bits& bits)
{
    if (m_blockType == kUncompressed) {
        if (m_blockLength & 1)
            ++bits.m_pos;
        bits.Init();
    }
    DWORD type = 0, high = 0, low = 0;
    if (!bits.Read(3, type) || !bits.Read(16, high) || !bits.Read(8, low))
        return false;
    m_blockType = static_cast<int>(type);
    m_blockLength = m_blockRemaining = high << 8 | low;
    switch (m_blockType) {
    case kAligned:
        for (int i = 0; i < kAlignedSymbols; ++i) {
            DWORD length = 0;
            if (!bits.Read(3, length))
                return false;
            m_alignedLengths[i] = static_cast<BYTE>(length);
        }
        if (!Build(m_aligned, m_alignedLengths, kAlignedSymbols))
            return false;
        // the rest as for a verbatim block
        // fall through
    case kVerbatim:
        if (!ReadLengths(bits, m_mainLengths, 0, 256) || !ReadLengths(bits, m_mainLengths, 256, m_mainElements) ||
            !Build(m_main, m_mainLengths, kMainSymbols))
            return false;
        // A code for the byte E8 means the block may hold calls to translate.
        if (m_mainLengths[0xE8] != 0)
            m_intelStarted = true;
        return ReadLengths(bits, m_lengthLengths, 0, kLengthSymbols - 1) &&
               Build(m_length, m_lengthLengths, kLengthSymbols);
    case kUncompressed:
        m_intelStarted = true;  // its bytes may hold anything
        // Aligned to the next word; the three repeated offsets follow as bytes.
        bits.Ensure(16);
        if (bits.m_left > 16)
            bits.m_pos -= 2;
        if (!bits.Skip(0))
            return false;
        m_r0 = bits.Dword();
        if (!bits.Skip(4))
            return false;
        m_r1 = bits.Dword();
        if (!bits.Skip(4))
            return false;
        m_r2 = bits.Dword();
        return bits.Skip(4);
    default:
        return false;
    }
}

bool CLzxDecoder::Run(Bits& bits, int run)
{
    if (m_blockType == kUncompressed) {
        const DWORD from = bits.m_pos;
        if (!bits.Skip(static_cast<DWORD>(run)))
            return false;
        memcpy(m_window.get() + m_windowPos, bits.Data() + from, static_cast<size_t>(run));
        m_windowPos += static_cast<DWORD>(run);
        return true;
    }
    // No compiler writes a block whose main tree is empty: the component would
    // take its first symbol, a literal, for every position without reading a
    // bit, so a few bytes of file a frame could keep it decoding for as long
    // as the file has frames. With a symbol of a bit at least, the work of
    // decoding a frame follows the bytes it takes.
    if (m_main.empty)
        return false;
    while (run > 0) {
        int element = 0;
        if (!Decode(bits, m_main, m_mainLengths, element))
            return false;
        if (element < 256) {
            m_window[m_windowPos++] = static_cast<BYTE>(element);
            --run;
            continue;
        }
        element -= 256;
        int matchLength = element & 7;
        if (matchLength == 7) {
            int footer = 0;
            if (!Decode(bits, m_length, m_lengthLengths, footer))
                return false;
            matchLength += footer;
        }
        matchLength += kMinMatch;

        const int slot = element >> 3;
        DWORD offset = 0;
        if (slot > 2) {
            const int extra = kExtraBits[slot];
            DWORD verbatim = 0;
            if (m_blockType == kVerbatim) {
                if (slot == 3) {
                    offset = 1;
                } else {
                    if (!bits.Read(extra, verbatim))
                        return false;
                    offset = kPositionBase.value[slot] - 2 + verbatim;
                }
            } else {
                offset = kPositionBase.value[slot] - 2;
                int aligned = 0;
                if (extra > 3) {
                    if (!bits.Read(extra - 3, verbatim) || !Decode(bits, m_aligned, m_alignedLengths, aligned))
                        return false;
                    offset += (verbatim << 3) + static_cast<DWORD>(aligned);
                } else if (extra == 3) {
                    if (!Decode(bits, m_aligned, m_alignedLengths, aligned))
                        return false;
                    offset += static_cast<DWORD>(aligned);
                } else if (extra > 0) {
                    if (!bits.Read(extra, verbatim))
                        return false;
                    offset += verbatim;
                } else {
                    offset = 1;
                }
            }
            m_r2 = m_r1;
            m_r1 = m_r0;
            m_r0 = offset;
        } else if (slot == 0) {
            offset = m_r0;
        } else if (slot == 1) {
            offset = m_r1;
            m_r1 = m_r0;
            m_r0 = offset;
        } else {
            offset = m_r2;
            m_r2 = m_r0;
            m_r0 = offset;
        }

        run -= matchLength;
        if (!Copy(offset, static_cast<DWORD>(matchLength)))
            return false;
    }
    return true;
}

bool CLzxDecoder::Copy(DWORD offset, DWORD length)
{
    BYTE* window = m_window.get();
    DWORD from = m_windowPos - offset;
    if (m_windowPos < offset) {
        // The copy starts near the window's end: an offset beyond the
        // window would start it before the window.
        if (offset > m_windowSize)
            return false;
        from = m_windowPos + (m_windowSize - offset);
        const DWORD wrapped = offset - m_windowPos;
        if (wrapped < length) {
            // From the window's end up to it, then on from its start.
            for (DWORD i = 0; i < wrapped; ++i)
                window[m_windowPos++] = window[from++];
            length -= wrapped;
            from = 0;
        }
    }
    // The component checks a run against the window's end, not each match.
    if (length > m_windowSize - m_windowPos)
        return false;
    // Byte by byte: a match may repeat the bytes it is writing.
    for (DWORD i = 0; i < length; ++i)
        window[m_windowPos++] = window[from++];
    return true;
}

// The component's E8 call translation of a frame it hands out: the four bytes
// after each E8 byte, an absolute address within the declared file size,
// become relative to the call's position in the stream. The last ten bytes of
// a frame are never looked at.
void CLzxDecoder::Translate(BYTE* out)
{
    LONGLONG position = m_intelPos;
    const LONGLONG fileSize = m_intelFileSize;
    m_intelPos = static_cast<LONG>(position + kFrameSize);
    BYTE* data = out;
    BYTE* const end = out + kFrameSize - 10;
    while (data < end) {
        if (*data++ != 0xE8) {
            ++position;
            continue;
        }
        const LONGLONG absolute = static_cast<LONG>(static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                                                    static_cast<DWORD>(data[2]) << 16 |
                                                    static_cast<DWORD>(data[3]) << 24);
        if (absolute >= -position && absolute < fileSize) {
            // The component computes in 32 bits: the low 32 bits are its answer.
            const DWORD relative = static_cast<DWORD>(absolute >= 0 ? absolute - position : absolute + fileSize);
            for (int i = 0; i < 4; ++i)
                data[i] = static_cast<BYTE>(relative >> (8 * i));
        }
        data += 4;
        position += 5;
    }
}

bool CLzxDecoder::Frame(const BYTE* data, DWORD length, BYTE* out)
{
    ++m_framesDecoded;
    if (!m_window)
        return false;
    Bits bits(data, length);
    bits.Init();
    if (!m_headerRead) {
        DWORD translated = 0, high = 0, low = 0;
        if (!bits.Read(1, translated))
            return false;
        if (translated && (!bits.Read(16, high) || !bits.Read(16, low)))
            return false;
        m_intelFileSize = static_cast<LONG>(high << 16 | low);
        m_headerRead = true;
    }
    int togo = static_cast<int>(kFrameSize);
    while (togo > 0) {
        if (m_blockRemaining == 0 && !BlockHeader(bits))
            return false;
        // Wine's test for input run out: a block header may read one word
        // past the frame, but none of its bits may be used (lzx.c). Whether
        // Windows' decoder tests the same is unknown.
        if (bits.m_pos > length && (bits.m_pos > length + 2 || bits.m_left < 16))
            return false;
        while (m_blockRemaining > 0 && togo > 0) {
            int run = static_cast<int>(m_blockRemaining);
            if (run > togo)
                run = togo;
            togo -= run;
            m_blockRemaining -= static_cast<DWORD>(run);
            m_windowPos &= m_windowSize - 1;
            if (m_windowPos + static_cast<DWORD>(run) > m_windowSize)
                return false;
            if (!Run(bits, run))
                return false;
        }
    }
    // The frame is copied out from the kFrameSize bytes before the position.
    const DWORD end = m_windowPos != 0 ? m_windowPos : m_windowSize;
    if (end < kFrameSize)
        return false;
    if (out)
        memcpy(out, m_window.get() + (end - kFrameSize), kFrameSize);
    // Translation stops after 32768 frames from the reset; before the first
    // block that may hold calls, the position still moves on.
    if (m_framesSinceReset++ < 32768 && m_intelFileSize != 0) {
        if (m_intelStarted && out)
            Translate(out);
        else
            m_intelPos = static_cast<LONG>(static_cast<LONGLONG>(m_intelPos) + kFrameSize);
    }
    return true;
}
