#pragma once
#include <windows.h>

#include <memory>

// The LZX decoder of the storage component as Wine implements it (dlls/itss,
// lzx.c), step for step: the same bit reads, block headers, Huffman tables,
// repeated offsets and window positions, and the same E8 call translation of
// each frame it hands out. Every rule here was measured on Wine's decoder;
// how far Windows' own decoder shares each limit is unknown, so a frame that
// Wine's would refuse is refused whichever component runs. A frame decodes
// when that decoder would decode it without an error, without reading or
// writing outside its window and its input, and in work that follows its
// bytes; otherwise the component must not be given it, and our own reads
// name it a fault. The check before each read of the component and our own
// reads are this one decoder.
class CLzxDecoder {
public:
    // What a frame decodes to, and the most it may take compressed: Wine's
    // component reads a compressed frame into a buffer of the frame size and
    // 6144 bytes more (chm_lib.c); Windows' buffer is unknown.
    static constexpr DWORD kFrameSize = 0x8000;
    static constexpr DWORD kMaxCompressedFrame = kFrameSize + 6144;

    // windowSize: a power of two from 32 KB to 2 MB.
    explicit CLzxDecoder(DWORD windowSize);
    ~CLzxDecoder();
    CLzxDecoder(const CLzxDecoder&) = delete;
    CLzxDecoder& operator=(const CLzxDecoder&) = delete;

    // False when no memory was left for the window: then no frame decodes.
    bool HasWindow() const { return m_window != nullptr; }
    // The state at a reset point, as the component sets it before the first
    // frame after each reset.
    void Reset();
    // One frame of compressed bytes, decoded to kFrameSize bytes; out, when
    // given, receives them as the component hands them out. False: the frame
    // cannot be decoded, and no frame after it until the next reset.
    bool Frame(const BYTE* data, DWORD length, BYTE* out = nullptr);
    // Frames given to Frame since the decoder was made: the work done.
    ULONGLONG FramesDecoded() const { return m_framesDecoded; }

private:
    static constexpr int kPretreeSymbols = 20;
    static constexpr int kAlignedSymbols = 8;
    static constexpr int kMainSymbols = 256 + 50 * 8;
    static constexpr int kLengthSymbols = 250;
    // The component reads code lengths this far past a table's symbols.
    static constexpr int kLengthSlack = 64;

    // A canonical Huffman code over code lengths of up to 16 bits.
    struct Code {
        int symbols = 0;
        bool empty = true;
        WORD count[17] = {};
        WORD sorted[kMainSymbols] = {};
    };

    class Bits;

    bool Build(Code& code, const BYTE* lengths, int symbols);
    bool Decode(Bits& bits, const Code& code, const BYTE* lengths, int& symbol);
    bool ReadLengths(Bits& bits, BYTE* lengths, int first, int last);
    bool BlockHeader(Bits& bits);
    bool Run(Bits& bits, int run);
    bool Copy(DWORD offset, DWORD length);
    void Translate(BYTE* out);

    DWORD m_windowSize;
    std::unique_ptr<BYTE[]> m_window;
    ULONGLONG m_framesDecoded = 0;
    // E8 call translation: the file size the stream declares (0: none), the
    // position in the stream, whether a block that may hold calls was met,
    // and the frames since the reset.
    LONG m_intelFileSize = 0;
    LONG m_intelPos = 0;
    bool m_intelStarted = false;
    DWORD m_framesSinceReset = 0;
    int m_mainElements;
    DWORD m_windowPos = 0;
    DWORD m_r0 = 1, m_r1 = 1, m_r2 = 1;
    bool m_headerRead = false;
    int m_blockType = 0;
    DWORD m_blockLength = 0;
    DWORD m_blockRemaining = 0;
    BYTE m_pretreeLengths[kPretreeSymbols + kLengthSlack] = {};
    BYTE m_alignedLengths[kAlignedSymbols + kLengthSlack] = {};
    BYTE m_mainLengths[kMainSymbols + kLengthSlack] = {};
    BYTE m_lengthLengths[kLengthSymbols + kLengthSlack] = {};
    Code m_pretree;
    Code m_aligned;
    Code m_main;
    Code m_length;
};
